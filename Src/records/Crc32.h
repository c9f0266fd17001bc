// The standard reflected CRC-32 (polynomial 0x04C11DB7, initial value all ones,
// final complement), the one of zlib and PNG. It guards the record files and
// the ranking client's payloads. The 256-word table is built on first use by
// any caller, once per process, safely when several threads arrive together.
#pragma once
#include <cstddef>
#include <cstdint>

std::uint32_t reverseBits32(std::uint32_t value);
std::uint8_t reverseBits8(std::uint8_t value);

// Builds the lookup table once; later calls do nothing.
void crc32BuildTable();
// The ranking client's name for the same operation.
inline void buildCrc32Table() { crc32BuildTable(); }

// Runs the bytes [first, end) through the register and returns the new state:
// state = (state >> 8) XOR table[(state XOR byte) AND 0xFF] for each byte.
std::uint32_t crc32Update(std::uint32_t state, const std::uint8_t* first, const std::uint8_t* end);

// The register's starting value: the bit reversal of 0xFFFFFFFF.
std::uint32_t crc32InitialState();

// The finished checksum of a byte range (initial state, update, complement).
std::uint32_t crc32(const void* data, std::size_t size);
