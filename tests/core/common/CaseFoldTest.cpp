// Case folding of user text in each kind of code page: UTF-8 (Latin,
// Greek, Cyrillic and the other scripts of the Unicode folding data),
// Shift_JIS (full-width Latin, Greek and Cyrillic, trail bytes untouched)
// and the single-byte pages.

#include <gtest/gtest.h>

#include <string>

#include "common/CaseFold.h"
#include "common/CodePage.h"

namespace corvina {
namespace {

TEST(CaseFold, SimpleFoldingOfOneCharacter) {
    const struct {
        char32_t from, to;
    } cases[] = {
        {U'A', U'a'},   {U'z', U'z'},         {U'É', U'é'}, {U'Ÿ', U'ÿ'},       {U'Ā', U'ā'},
        {U'ā', U'ā'},   {U'Σ', U'σ'},         {U'ς', U'σ'}, {U'Ж', U'ж'},       {U'Ё', U'ё'},
        {U'Ａ', U'ａ'}, {U'Ⅳ', U'ⅳ'},         {U'ẞ', U'ß'}, {U'ß', U'ß'},       {0x212A, U'k'},
        {U'µ', U'μ'},   {0xAB70, 0x13A0},     {U'Ա', U'ա'}, {0x10400, 0x10428}, {U'İ', U'İ'},
        {U'1', U'1'},   {0x10FFFF, 0x10FFFF},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CaseFold::Fold(c.from), c.to) << std::hex << static_cast<unsigned>(c.from);
    }
}

TEST(CaseFold, Utf8) {
    const CaseFold fold(CodePage::Get(CodePage::kUtf8));
    EXPECT_TRUE(fold.Equal("école", "ÉCOLE"));
    EXPECT_TRUE(fold.Equal("ΟΔΥΣΣΕΥΣ", "οδυσσευς"));
    EXPECT_TRUE(fold.Equal("Москва", "МОСКВА"));
    EXPECT_TRUE(fold.Equal("Straße", "STRAẞE"));
    EXPECT_FALSE(fold.Equal("école", "ecole"));
    EXPECT_TRUE(fold.Contains("Réunion de l'ÉCOLE", "école"));
    EXPECT_TRUE(fold.Contains("anything", ""));
    EXPECT_FALSE(fold.Contains("école", "écoles"));
    // Keys may change length (the Kelvin sign folds to one byte).
    EXPECT_EQ(fold.Key("\xE2\x84\xAA"), "k");
    // Bytes that form no character are kept and only match themselves.
    EXPECT_EQ(fold.Key("A\xC3(\xFF"), "a\xC3(\xFF");
    EXPECT_FALSE(fold.Equal("\xC9", "\xE9"));
    EXPECT_FALSE(fold.Contains("\xC3\xA9", "\xC3"));  // never half a character
    EXPECT_LT(fold.Compare("apple", "Banana"), 0);
    EXPECT_LT(fold.Compare("Banana", "cherry"), 0);
    EXPECT_EQ(fold.Compare("ÉTÉ", "été"), 0);
}

TEST(CaseFold, ShiftJis) {
    const CaseFold fold(CodePage::Get(CodePage::kShiftJis));
    // Full-width "ＡＢＣ" and "ａｂｃ"; Greek Α/α and Cyrillic А/а.
    EXPECT_TRUE(fold.Equal("\x82\x60\x82\x61\x82\x62", "\x82\x81\x82\x82\x82\x83"));
    EXPECT_TRUE(fold.Equal("\x83\x9F", "\x83\xBF"));
    EXPECT_TRUE(fold.Equal("\x84\x40", "\x84\x70"));
    EXPECT_TRUE(fold.Equal("Mail \x82\x60", "mAIL \x82\x81"));
    // A trail byte that looks like a letter is never folded: "ア" is 83 41,
    // "ヂ" 83 61.
    EXPECT_FALSE(fold.Equal("\x83\x41", "\x83\x61"));
    EXPECT_EQ(fold.Key("\x83\x41"), "\x83\x41");
    EXPECT_FALSE(fold.Contains("\x83\x41", "a"));
    EXPECT_FALSE(fold.Contains("\x82\x60\x82\x61", "\x60\x82"));  // across two characters
    EXPECT_TRUE(fold.Contains("x\x83\x41\x82\x60", "\x82\x81"));
    // Half-width katakana and a lone lead byte stay as they are.
    EXPECT_EQ(fold.Key("\xB1\x81"), "\xB1\x81");
}

TEST(CaseFold, SingleBytePages) {
    const CaseFold western(CodePage::Get(1252));
    EXPECT_TRUE(
        western.Equal("\xC9"
                      "cole",
                      "\xE9"
                      "COLE"));                  // École / éCOLE
    EXPECT_TRUE(western.Equal("\x8A", "\x9A"));  // Š / š
    EXPECT_TRUE(western.Contains("Caf\xC9 ouvert", "caf\xE9"));
    const CaseFold cyrillic(CodePage::Get(1251));
    EXPECT_TRUE(cyrillic.Equal("\xCC\xEE\xF1\xEA\xE2\xE0", "\xCC\xCE\xD1\xCA\xC2\xC0"));
    const CaseFold greek(CodePage::Get(1253));
    EXPECT_TRUE(greek.Equal("\xD3", "\xF2"));  // Σ and final ς
}

}  // namespace
}  // namespace corvina
