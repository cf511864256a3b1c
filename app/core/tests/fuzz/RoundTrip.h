#pragma once

// A file of records decodes or fails with a decoding error, never otherwise; what decodes
// writes back to JSON that decodes to the same records.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <string_view>
#include <vector>

#include "core/JSONCoding.h"

namespace fuzz {

// `forget` clears what lives in memory only (ids made fresh on every decode).
template <class Record, class Forget>
int decodeAndRoundTrip(const std::uint8_t* data, std::size_t size, Forget forget) {
  try {
    std::vector<Record> records;
    try {
      records = core::decodeJSON<std::vector<Record>>(
          std::string_view(reinterpret_cast<const char*>(data), size));
    } catch (const core::DecodingError&) {
      return 0;
    }
    auto again = core::decodeJSON<std::vector<Record>>(core::encodeJSON(records));
    for (auto* list : {&records, &again}) {
      for (Record& record : *list) forget(record);
    }
    if (again != records) std::abort();
  } catch (const std::exception& error) {
    std::fprintf(stderr, "unexpected exception: %s\n", error.what());
    std::abort();
  }
  return 0;
}

}  // namespace fuzz
