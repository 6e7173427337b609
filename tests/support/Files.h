#pragma once
// Whole files read and written in one call, as a string of bytes or as a byte
// vector; a file that cannot be read reads as empty.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

std::string ReadFile(const std::string& path);
std::vector<std::uint8_t> ReadBytes(const std::string& path);

// Replace the file's contents; false when not every byte was written.
bool WriteFile(const std::string& path, std::string_view bytes);
bool WriteBytes(const std::string& path, const std::vector<std::uint8_t>& bytes);

// Whether anything is there, a dangling link included.
bool Exists(const std::string& path);

// The names in a directory, sorted.
std::vector<std::string> Listing(const std::string& dir);
