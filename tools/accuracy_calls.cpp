// The calls of the accuracy check (tools/accuracy.py), made by the built DLL and
// by Wine's d3dx9_43.dll under Wine: one call per line of the input file, its
// results one line each in the output file.
//
// Input line:  EXPORT ARG... [| FUNCTION DARG...]
//   ARG   f<hex> a float word, i<dec> an integer, h<hex>,<hex>,... a handle to a
//         fresh buffer holding those words
//   DARG  a<k> a copy of the export's argument k (a handle's buffer as it was
//         given), w<k> the export's word k, f<hex> a float word, v<hex>,... a
//         pointer to those words, o<n> the output buffer of n floats, z null
// Output line: RESULT h<hex>,... for each handle argument after the call
//              [| RETURNED <hex>,... the function's pointer result and output buffer]
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "harness/call.h"
#include "harness/plugin.h"

namespace {

using Words = std::vector<std::uint32_t>;

Words hex_list(const std::string& text) {
  Words words;
  std::stringstream in(text);
  for (std::string item; std::getline(in, item, ',');) {
    if (!item.empty()) words.push_back(std::uint32_t(std::strtoul(item.c_str(), nullptr, 16)));
  }
  return words;
}

std::string hex_words(const std::uint32_t* w, std::size_t n) {
  std::string s;
  char buf[16];
  for (std::size_t i = 0; i < n; ++i) {
    std::snprintf(buf, sizeof buf, "%s%08lx", i ? "," : "", static_cast<unsigned long>(w[i]));
    s += buf;
  }
  return s;
}

// A buffer with room past the value, so a command that reads or writes more than
// the value holds cannot reach other memory.
struct Buffer {
  Words words;
  explicit Buffer(const Words& w) : words(w) { words.resize(w.size() + 16, 0x7FC00000u); }
  std::uint32_t address() { return kvt::word(words.data()); }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: kv_accuracy.exe IN OUT\n");
    return 2;
  }
  const kvt::Plugin plugin("Kestrom_Vandu.dll");
  HMODULE d3dx = LoadLibraryA("d3dx9_43.dll");
  std::ifstream in(argv[1]);
  std::ofstream out(argv[2]);
  std::string line;
  long calls = 0;
  while (std::getline(in, line)) {
    const std::size_t bar = line.find(" | ");
    std::stringstream ours(line.substr(0, bar));
    std::string name, arg;
    ours >> name;
    const void* fn = plugin.address(name);
    if (!fn) {
      std::fprintf(stderr, "no export %s\n", name.c_str());
      return 1;
    }
    std::vector<std::unique_ptr<Buffer>> buffers;
    Words words;                  // the call's words
    std::vector<Words> contents;  // each handle's contents as given, by argument
    while (ours >> arg) {
      if (arg[0] == 'h') {
        contents.push_back(hex_list(arg.substr(1)));
        buffers.push_back(std::make_unique<Buffer>(contents.back()));
        words.push_back(buffers.back()->address());
      } else {
        contents.emplace_back();
        buffers.push_back(nullptr);
        words.push_back(arg[0] == 'f' ? std::uint32_t(std::strtoul(arg.c_str() + 1, nullptr, 16))
                                      : std::uint32_t(std::strtol(arg.c_str() + 1, nullptr, 10)));
      }
    }
    const std::uint32_t result = kvt::call_raw(fn, words.data(), std::uint32_t(words.size()), kvt::CallEnv{}).result;
    out << hex_words(&result, 1);
    for (std::size_t k = 0; k < buffers.size(); ++k) {
      if (buffers[k]) out << " h" << hex_words(buffers[k]->words.data(), contents[k].size());
    }
    if (bar != std::string::npos) {
      std::stringstream theirs(line.substr(bar + 3));
      std::string function;
      theirs >> function;
      const void* oracle = d3dx ? reinterpret_cast<const void*>(GetProcAddress(d3dx, function.c_str())) : nullptr;
      if (!oracle) {
        std::fprintf(stderr, "d3dx9_43.dll lacks %s\n", function.c_str());
        return 1;
      }
      std::vector<std::unique_ptr<Buffer>> scratch;
      Words their_words;
      std::size_t output = 0;
      Buffer* output_buffer = nullptr;
      while (theirs >> arg) {
        const std::string rest = arg.substr(1);
        switch (arg[0]) {
          case 'a':
            scratch.push_back(std::make_unique<Buffer>(contents[std::stoul(rest)]));
            their_words.push_back(scratch.back()->address());
            break;
          case 'w': their_words.push_back(words[std::stoul(rest)]); break;
          case 'f': their_words.push_back(std::uint32_t(std::strtoul(rest.c_str(), nullptr, 16))); break;
          case 'v':
            scratch.push_back(std::make_unique<Buffer>(hex_list(rest)));
            their_words.push_back(scratch.back()->address());
            break;
          case 'o':
            output = std::stoul(rest);
            scratch.push_back(std::make_unique<Buffer>(Words(output, 0)));
            output_buffer = scratch.back().get();
            their_words.push_back(output_buffer->address());
            break;
          default: their_words.push_back(0); break;
        }
      }
      // stdcall: the callee pops its arguments, and the thunk restores esp.
      const std::uint32_t returned =
          kvt::call_raw(oracle, their_words.data(), std::uint32_t(their_words.size()), kvt::CallEnv{}).result;
      out << " | " << hex_words(&returned, 1) << " " << (output_buffer ? hex_words(output_buffer->words.data(), output) : "");
    }
    out << "\n";
    ++calls;
  }
  std::fprintf(stderr, "kv_accuracy: %ld calls\n", calls);
  return 0;
}
