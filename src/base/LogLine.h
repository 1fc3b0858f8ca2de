#pragma once
// One line of the action log: time of day, blank, sentence, blank, detail, blank.
// The trailing blanks are part of the format other code and users see.

#include <string>

inline std::string FormatLogLine(const std::string& Time, const std::string& Msg,
                                 const std::string& Detail) {
  std::string Line;
  Line.reserve(Time.size() + Msg.size() + Detail.size() + 3);
  Line.append(Time).append(1, ' ').append(Msg).append(1, ' ').append(Detail).append(1, ' ');
  return Line;
}
