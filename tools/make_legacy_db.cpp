// make-legacy-db DIR [--scale N] [--documents N] [--lines N] [--payments N] [--goods N]
//                    [--firms N] [--people N] [--code-page 1251|866]
//
// Writes a demo database of the legacy package (ten Paradox tables with their blob files)
// into DIR. The content comes from a fixed seed: the same arguments give the same bytes.
// --scale multiplies the demo size; the single counts, given after or before it, win.
// --code-page 866 writes the tables as an installation that began under DOS has them.

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/exception.h"
#include "tools/legacy_db_generator.h"

namespace {

int Usage() {
  std::fprintf(stderr,
               "usage: make-legacy-db DIR [--scale N] [--documents N] [--lines N] [--payments N]\n"
               "                          [--goods N] [--firms N] [--people N] [--code-page 1251|866]\n");
  return 2;
}

bool ParseCount(const char* text, int& out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno != 0 || end == text || *end != '\0' || v < 0 || v > 100000000) return false;
  out = static_cast<int>(v);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  std::string dir;
  int scale = 1;
  int code_page = 1251;
  struct Override {
    const char* option;
    int value = -1;
  } overrides[] = {{"--documents"}, {"--lines"}, {"--payments"}, {"--goods"}, {"--firms"}, {"--people"}};

  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (std::strncmp(arg, "--", 2) != 0) {
      if (!dir.empty()) return Usage();
      dir = arg;
      continue;
    }
    if (i + 1 >= argc) return Usage();
    int value = 0;
    if (!ParseCount(argv[i + 1], value)) {
      std::fprintf(stderr, "make-legacy-db: bad number for %s: %s\n", arg, argv[i + 1]);
      return 2;
    }
    ++i;
    if (std::strcmp(arg, "--code-page") == 0) {
      if (value != 1251 && value != 866) return Usage();
      code_page = value;
      continue;
    }
    if (std::strcmp(arg, "--scale") == 0) {
      if (value < 1) return Usage();
      scale = value;
      continue;
    }
    bool known = false;
    for (Override& o : overrides) {
      if (std::strcmp(arg, o.option) == 0) {
        o.value = value;
        known = true;
      }
    }
    if (!known) return Usage();
  }
  if (dir.empty()) return Usage();

  ks::LegacyDbSize size = ks::LegacyDbSize::Scaled(scale);
  int* fields[] = {&size.documents, &size.lines, &size.goods, &size.firms, &size.people, &size.payments};
  const char* names[] = {"--documents", "--lines", "--goods", "--firms", "--people", "--payments"};
  for (const Override& o : overrides) {
    for (size_t k = 0; k < 6; ++k)
      if (o.value >= 0 && std::strcmp(o.option, names[k]) == 0) *fields[k] = o.value;
  }

  try {
    ks::GenerateLegacyDb(dir, size, code_page);
  } catch (const ks::Exception& e) {
    std::fprintf(stderr, "make-legacy-db: %s\n", e.what());
    return 1;
  }
  std::printf("%s: %d documents, %d goods lines, %d payment orders, %d goods, %d firms, %d people%s\n",
              dir.c_str(), size.documents, size.lines, size.payments, size.goods, size.firms, size.people,
              code_page == 866 ? ", in code page 866" : "");
  return 0;
}
