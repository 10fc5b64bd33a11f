// For fuzz targets whose code under test reads a file by path: writes the input to a file of its
// own in the temporary folder. Each input gets a new name, because the Windows profile reader
// keeps files it has read and would not see a rewrite within the file system's time resolution.
#ifndef FUZZ_FUZZ_FILE_H
#define FUZZ_FUZZ_FILE_H

#include <stddef.h>
#include <stdint.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

// Returns the path written, or "" when it cannot be written. The caller removes it.
inline std::string WriteFuzzFile(const char* stem, const uint8_t* data, size_t size) {
  static const std::string tag = std::to_string(std::random_device{}());
  static unsigned long counter = 0;
  std::error_code ec;
  const std::filesystem::path path = std::filesystem::temp_directory_path(ec) /
                                     (std::string(stem) + "-" + tag + "-" +
                                      std::to_string(counter++) + ".ini");
  if (ec) return "";
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  out.close();
  return out ? path.string() : "";
}

inline void RemoveFuzzFile(const std::string& path) {
  std::error_code ec;
  std::filesystem::remove(path, ec);
}

#endif
