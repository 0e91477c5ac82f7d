#pragma once
// Reading what the code under test wrote.

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace testkit {

// The whole file; empty when it cannot be read.
std::string ReadText(const std::filesystem::path& file);
std::vector<std::uint8_t> ReadBytes(const std::filesystem::path& file);

// The 32-bit big-endian number at `at` (throws std::out_of_range past the end).
std::uint32_t BigEndian32(const std::string& bytes, std::size_t at);

}  // namespace testkit
