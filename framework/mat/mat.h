// Mats: label maps laid over a picture. For every pixel of a width x height
// grid a mat names one of up to 255 entries, each a colour and a name. Rooms
// use them for walkable floor, depth, light and sound zones, script objects as
// hit maps, fog of war keeps them in save games. The ".mat" file stores the
// pixels run-length encoded; a mat is a plain value its user owns and copies.
//
// A ".mat" file, little-endian, no padding: "MAT", major version 1, minor
// version 0, width and height (signed 32-bit), the entry count (one byte),
// each entry as colour (32-bit), name length (one byte) and name, then runs
// of (length 16-bit, entry index 8-bit) covering the pixels row by row,
// continuing across row ends, until they cover width x height pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct MatEntry {
  std::string name;    // 0 to 255 bytes, e.g. a zone name or "TRANSPARENT"
  uint32_t color = 0;  // 0x00RRGGBB; the top byte is kept but ignored by queries
};

// The decoded form every user works with: one entry index per pixel.
struct Mat {
  std::vector<MatEntry> entries;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint8_t> data;  // width x height, row 0 first, column 0 first
};

struct MatRun {
  uint16_t length = 0;  // pixels; 0 covers nothing
  uint8_t index = 0;    // into entries
};

// The form the content-file reader returns before decoding.
struct MatRaw {
  std::vector<MatEntry> entries;
  int32_t width = 0;
  int32_t height = 0;
  std::vector<MatRun> runs;
};

// Mats larger than this (8192 x 8192) are refused: a few hundred kilobytes of
// long runs could otherwise ask for gigabytes of pixels.
constexpr int64_t kMatMaxPixels = int64_t{8192} * 8192;
// The entry count and each name's length are stored in one byte.
constexpr size_t kMatMaxEntries = 255;
constexpr size_t kMatMaxNameLength = 255;

// --- Module lifecycle (qmrMat) --------------------------------------------------
void MatStart();  // logs the version line once per start
void MatStop();

// --- Reading ----------------------------------------------------------------------
// Reads and decodes a mat at the position of a direct file; empty on failure.
void MatDirectOpen(int32_t file, Mat& mat);
// Reads a mat at the position of a direct file into runs without decoding
// (checking a mat costs no more memory than its bytes); empty on failure.
void MatDirectOpenRaw(int32_t file, MatRaw& raw);
// Reads a content file (patches, archives, disk) and decodes it; empty on failure.
void MatOpen(const std::string& fileName, Mat& mat);
// Reads a content file into runs without decoding; empty on failure.
void MatOpenRaw(const std::string& fileName, MatRaw& raw);
// Reads a mat at the position of an open content file; empty on failure.
void MatOpenRawEmbedded(int32_t file, MatRaw& raw);
// Expands the runs row by row; pixels no run reaches are 0, runs past the
// last pixel are dropped. An invalid raw mat gives an empty mat.
void MatDecode(const MatRaw& raw, Mat& mat);

// --- Writing ----------------------------------------------------------------------
// Writes the mat at the position of a direct file made by DataFileDirectCreate:
// 1 when the mat is invalid or no reader could take it back (nothing written),
// 2 when a write failed, 3 when the whole mat was written.
int32_t MatDirectSave(int32_t file, const Mat& mat);

// --- Validity and clearing --------------------------------------------------------
// Positive width and height within kMatMaxPixels, at least one entry, and
// width x height pixels (a raw mat: at least one run).
bool MatIsValid(const Mat& mat);
bool MatRawIsValid(const MatRaw& raw);
void MatClear(Mat& mat);  // both arrays empty, width and height 0
void MatRawClear(MatRaw& raw);

// --- Queries ----------------------------------------------------------------------
// Name of the entry whose colour is nearest (sum of the red, green and blue
// differences; the first of equally near entries); "" for an invalid mat.
std::string MatNearestEntryName(const Mat& mat, uint32_t color);
// Entry index at pixel (x, y); -1 for an invalid mat, a pixel outside it or an
// index that names no entry.
int32_t MatEntryAt(const Mat& mat, int32_t x, int32_t y);
