// Compile once, match many: the scanner's use of a mask, against glibc's
// fnmatch with FNM_CASEFOLD on the same masks and names.

#include "scan/Masks.h"

#include <benchmark/benchmark.h>
#include <fnmatch.h>

#include <string>
#include <vector>

namespace {

const std::vector<std::string> Masks = {
    "*",       "*.*",          "*.tmp",      "~*.tmp",        "readme.txt",
    "*.t?p",   "[a-c]*.log",   "*[0-9].dat", "*a*b*c*",       "thumbs.db",
    "*.html",  "index[!0-9]*", "*.*.*",      "????????.???",  "*cache*",
};

std::vector<std::string> Names() {
  std::vector<std::string> Out = {
      "README.TXT", "readme.txt", "~DF1234.tmp", "~WRL0001.tmp", "index.dat", "index2.dat",
      "Thumbs.db",  "desktop.ini", "a.log", "B.LOG", "c.log.1", "cache_0001.bin", "CACHE.BIN",
      "noextension", "setup.exe", "abc", "x.y.z", "12345678.abc", "photo 2023-01-01.jpg",
      "very long file name with many words and a long extension.extension"};
  for (int I = 0; I < 30; ++I) Out.push_back("page" + std::to_string(I * 7919) + ".html");
  for (int I = 0; I < 30; ++I) Out.push_back("~tmp" + std::to_string(I * 104729) + ".TMP");
  return Out;
}

void BM_TMask(benchmark::State& State) {
  std::vector<TMask> Compiled;
  for (const std::string& M : Masks) Compiled.emplace_back(M);
  const std::vector<std::string> Ns = Names();
  std::size_t Hits = 0;
  for (auto _ : State)
    for (const TMask& M : Compiled)
      for (const std::string& N : Ns) Hits += M.Matches(N);
  benchmark::DoNotOptimize(Hits);
  State.SetItemsProcessed(State.iterations() * Compiled.size() * Ns.size());
  State.counters["hits/pass"] = static_cast<double>(Hits) / State.iterations();
}
BENCHMARK(BM_TMask);

void BM_fnmatch(benchmark::State& State) {
  const std::vector<std::string> Ns = Names();
  std::size_t Hits = 0;
  for (auto _ : State)
    for (const std::string& M : Masks)
      for (const std::string& N : Ns) Hits += fnmatch(M.c_str(), N.c_str(), FNM_CASEFOLD) == 0;
  benchmark::DoNotOptimize(Hits);
  State.SetItemsProcessed(State.iterations() * Masks.size() * Ns.size());
  State.counters["hits/pass"] = static_cast<double>(Hits) / State.iterations();
}
BENCHMARK(BM_fnmatch);

}  // namespace

BENCHMARK_MAIN();
