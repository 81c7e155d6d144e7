#include "wide_text.hpp"

namespace {

constexpr char32_t replacement_character = 0xFFFD;

bool is_high_surrogate(char32_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool is_low_surrogate(char32_t unit)
{
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void append_code_point(std::string& out, char32_t point)
{
    auto byte = [&out](char32_t bits) { out.push_back(static_cast<char>(static_cast<unsigned char>(bits))); };
    if (point < 0x80) {
        byte(point);
    } else if (point < 0x800) {
        byte(0xC0U | (point >> 6U));
        byte(0x80U | (point & 0x3FU));
    } else if (point < 0x10000) {
        byte(0xE0U | (point >> 12U));
        byte(0x80U | ((point >> 6U) & 0x3FU));
        byte(0x80U | (point & 0x3FU));
    } else {
        byte(0xF0U | (point >> 18U));
        byte(0x80U | ((point >> 12U) & 0x3FU));
        byte(0x80U | ((point >> 6U) & 0x3FU));
        byte(0x80U | (point & 0x3FU));
    }
}

void append_utf16(std::u16string& out, char32_t point)
{
    if (point < 0x10000) {
        out.push_back(static_cast<char16_t>(point));
        return;
    }
    const char32_t offset = point - 0x10000;
    out.push_back(static_cast<char16_t>(0xD800U + (offset >> 10U)));
    out.push_back(static_cast<char16_t>(0xDC00U + (offset & 0x3FFU)));
}

// The code point that starts at `text[at]`, and how many bytes it takes. A
// byte that does not start a well-formed sequence stands for U+FFFD alone.
struct decoded_point {
    char32_t point;
    std::size_t length;
};

decoded_point decode_point(std::string_view text, std::size_t at)
{
    const auto lead = static_cast<unsigned char>(text[at]);
    if (lead < 0x80) {
        return {lead, 1};
    }
    std::size_t length = 0;
    char32_t point = 0;
    char32_t smallest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        point = lead & 0x1FU;
        smallest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        point = lead & 0x0FU;
        smallest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        point = lead & 0x07U;
        smallest = 0x10000;
    } else {
        return {replacement_character, 1};
    }
    if (text.size() - at < length) {
        return {replacement_character, 1};
    }
    for (std::size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0U) != 0x80U) {
            return {replacement_character, 1};
        }
        point = (point << 6U) | (next & 0x3FU);
    }
    if (point < smallest || point > 0x10FFFF) {
        return {replacement_character, 1};
    }
    return {point, length};
}

} // namespace

std::string wtf8_from_utf16(std::u16string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t unit = text[i];
        if (is_high_surrogate(unit) && i + 1 < text.size() && is_low_surrogate(text[i + 1])) {
            append_code_point(out, 0x10000 + ((unit - 0xD800) << 10U) + (text[i + 1] - 0xDC00U));
            ++i;
        } else {
            append_code_point(out, unit); // an unpaired surrogate as three bytes of its own
        }
    }
    return out;
}

std::u16string utf16_from_wtf8(std::string_view text)
{
    std::u16string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const decoded_point next = decode_point(text, at);
        append_utf16(out, next.point);
        at += next.length;
    }
    return out;
}

std::u16string extended_length_path(std::u16string_view full_path)
{
    if (full_path.starts_with(u"\\\\?\\") || full_path.starts_with(u"\\\\.\\")) {
        return std::u16string{full_path};
    }
    if (full_path.starts_with(u"\\\\")) {
        return u"\\\\?\\UNC\\" + std::u16string{full_path.substr(2)};
    }
    return u"\\\\?\\" + std::u16string{full_path};
}
