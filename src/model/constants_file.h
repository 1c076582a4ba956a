#pragma once
#include <array>
#include <istream>
#include <string>
#include <string_view>

namespace kv7 {

// The constants file of the TXF table computation: a header line, 21 numbers for radios from
// sub name 0200 on, a second header, 21 numbers for older radios. Lines end LF, CR LF or CR.
inline constexpr const char* kConstFileName = "Const.ini";
inline constexpr const char* kConstHeaderRev20 = "SW-KV7 ADJ Rev.2.0";
inline constexpr const char* kConstHeaderRev10 = "SW-KV7 ADJ Rev.1.0";
inline constexpr int kConstCount = 21;

// One constant per temperature border, entries 0..20 (entry 21 is never read from the file).
using ConstTable = std::array<float, 22>;

// The leading number of a text: blanks skipped, an optional sign, digits with one decimal
// point, an exponent (e, E, d or D with optional sign and digits); stops at the first
// character that cannot continue the number. No number gives 0. Decimal only ("&H10" is 0).
double VbVal(std::string_view text);

// Reads both sections into rev20 and rev10. False when a header does not match (blanks around
// it are ignored, as is a UTF-8 byte order mark before the first), when a line is missing or
// does not begin with a number (after blanks), or when a number does not fit single precision;
// entries read before a failure keep their new values. Lines after the 44th are not read.
bool ReadConstants(std::istream& in, ConstTable& rev20, ConstTable& rev10);
// As above from a file; a file that cannot be opened gives false.
bool ReadConstantsFile(const std::string& path, ConstTable& rev20, ConstTable& rev10);

}  // namespace kv7
