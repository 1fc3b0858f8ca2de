#pragma once
// The program's general exception. Every failure the program expects to report
// derives from it, so a log line can print the class name and the message.
// No Win32 here: the pure-logic units (masks, log format) use it natively too.

#include <exception>
#include <string>
#include <utility>

class Exception : public std::exception {
public:
  explicit Exception(std::string Message) : FMessage(std::move(Message)) {}

  const char* what() const noexcept override { return FMessage.c_str(); }
  const std::string& Message() const noexcept { return FMessage; }
  virtual const char* ClassName() const noexcept { return "Exception"; }

private:
  std::string FMessage;
};

// Declares a subclass that only adds its own name, e.g. DECLARE_EXCEPTION(EFoo, Exception).
#define DECLARE_EXCEPTION(Name, Base)                                        \
  class Name : public Base {                                                 \
  public:                                                                    \
    using Base::Base;                                                        \
    const char* ClassName() const noexcept override { return #Name; }        \
  }
