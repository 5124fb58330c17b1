// Fixture paths and scratch files for the tests of every area.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Path of a file under tests/data.
std::u16string fixture_path(const std::string& relative);

// A fresh path in the scratch folder of this test run (the file does not exist yet).
std::u16string scratch_path(const std::string& name);

bool write_bytes(const std::u16string& path, const std::vector<uint8_t>& bytes);
bool read_bytes(const std::u16string& path, std::vector<uint8_t>* bytes);
