// RawEnum: reads an enumerated page-header field as the 32-bit integer it is stored as. The
// page read, the settings and the trace all read header enums, so it lives below them.
#pragma once

#include <cstdint>
#include <cstring>

// The enumerated fields of a page header hold whatever the stream carried, often no
// enumerator at all (loading such a value as the enum type is undefined): read them as the
// 32-bit integers they are stored as.
template <typename E>
inline int32_t RawEnum(const E& field) {
  static_assert(sizeof(E) == sizeof(int32_t), "header enums are stored in 32 bits");
  int32_t value;
  memcpy(&value, &field, sizeof value);
  return value;
}
