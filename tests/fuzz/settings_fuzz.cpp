// Reads arbitrary bytes as a settings file, checks what every store must
// satisfy, and checks that writing the store and reading it again gives the
// same entries. Parses from memory, so no file is touched.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "fuzz_check.h"
#include "settings/settings_store.h"

namespace {

bool Trimmed(const std::string& s) {
  auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n'; };
  return s.empty() || (!blank(s.front()) && !blank(s.back()));
}

// What a C library's strtol would give, clamped to 32 bits.
int32_t ReferenceInt(const std::string& text) {
  long long v = std::strtoll(text.c_str(), nullptr, 10);
  if (v > INT32_MAX) return INT32_MAX;
  if (v < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(v);
}

void CheckStore(const SettingsStore& store) {
  FUZZ_CHECK(store.Keys().size() == store.Values().size());
  std::set<std::string> seen;
  for (size_t i = 0; i < store.Keys().size(); ++i) {
    const std::string& key = store.Keys()[i];
    const std::string& value = store.Values()[i];
    FUZZ_CHECK(!key.empty());
    FUZZ_CHECK(seen.insert(key).second);
    for (const std::string* s : {&key, &value}) {
      FUZZ_CHECK(s->size() <= SettingsStore::kMaxPiece);
      FUZZ_CHECK(s->find_first_of(std::string("=\n\0", 3)) == std::string::npos);
      FUZZ_CHECK(Trimmed(*s));
    }
    std::string text;
    FUZZ_CHECK(store.GetString(key, &text) && text == value);
    int32_t number = 0;
    FUZZ_CHECK(store.GetInt(key, &number) && number == ReferenceInt(value));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  SettingsStore store;
  store.LoadText(std::string(reinterpret_cast<const char*>(data), size));
  CheckStore(store);

  const std::string written = store.ToText();
  SettingsStore again;
  again.LoadText(written);
  CheckStore(again);

  // A line longer than one piece is read back as several entries; every
  // shorter line must come back exactly.
  bool fits = true;
  for (size_t i = 0; i < store.Keys().size(); ++i)
    fits =
        fits && store.Keys()[i].size() + 3 + store.Values()[i].size() <= SettingsStore::kMaxPiece;
  if (fits) {
    FUZZ_CHECK(again.Keys() == store.Keys());
    FUZZ_CHECK(again.Values() == store.Values());
    FUZZ_CHECK(again.ToText() == written);
  }
  return 0;
}
