// The fixed inputs behind the committed files in tests/data/account_files.
// The Linux tool's tests and the Windows tests under Wine both write files
// from these and compare them with the committed bytes, and each side opens
// the files the other side's code wrote: a file made by either opens in both.
#pragma once

#include <stddef.h>
#include <stdint.h>

// Random bytes for a golden run: byte n of the stream is (29n + 11) mod 256,
// counted across calls from the first draw (salt, key material, recovery salt).
class GoldenRandomStream {
 public:
  void Fill(uint8_t* destination, size_t length) {
    for (size_t i = 0; i < length; ++i) destination[i] = static_cast<uint8_t>(29 * next_++ + 11);
  }
  void Reset() { next_ = 0; }

 private:
  size_t next_ = 0;
};

inline constexpr char16_t kGoldenTypedStoragePath[] =
    u"C:\\Users\\D\u00e9j\u00e0\\Cryptelle_Ann.cryptdsk";
inline constexpr char16_t kGoldenStoredStoragePath[] =
    u"c:\\users\\d\u00e9j\u00e0\\cryptelle_ann.cryptdsk";
inline constexpr char16_t kGoldenPassword[] = u"Pa55-w\u00f6rd";
inline constexpr char16_t kGoldenNewPassword[] = u"N3w-\u00e9t\u00e9";
inline constexpr char16_t kGoldenAnswer1[] = u"M\u00fcller";
inline constexpr char16_t kGoldenAnswer2[] = u"chess \u4e2d";
inline constexpr char16_t kGoldenAnswer3[] = u"Pasta";

// UTF-8 forms for the tool's standard input and arguments.
inline constexpr char kGoldenTypedStoragePathUtf8[] =
    "C:\\Users\\D\xc3\xa9j\xc3\xa0\\Cryptelle_Ann.cryptdsk";
inline constexpr char kGoldenStoredStoragePathUtf8[] =
    "c:\\users\\d\xc3\xa9j\xc3\xa0\\cryptelle_ann.cryptdsk";
inline constexpr char kGoldenPasswordUtf8[] = "Pa55-w\xc3\xb6rd";
inline constexpr char kGoldenNewPasswordUtf8[] = "N3w-\xc3\xa9t\xc3\xa9";
inline constexpr char kGoldenAnswersUtf8[] = "M\xc3\xbcller\nchess \xe4\xb8\xad\nPasta\n";

// Files in tests/data/account_files.
inline constexpr char kGoldenKeyFileName[] = "golden.user";
inline constexpr char kGoldenChangedKeyFileName[] = "golden-changed.user";
inline constexpr char kGoldenRecoveryFileName[] = "golden.prf";
