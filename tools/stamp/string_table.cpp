#include "string_table.h"

StringBlock decodeStringBlock(const BYTE* data, size_t size) {
    StringBlock block;
    size_t position = 0;
    for (std::wstring& text : block) {
        if (size - position < 2) break;
        const size_t length = data[position] | (data[position + 1] << 8);
        position += 2;
        if ((size - position) / 2 < length) break;
        text.resize(length);
        for (size_t i = 0; i < length; ++i, position += 2)
            text[i] = static_cast<wchar_t>(data[position] | (data[position + 1] << 8));
    }
    return block;
}

std::vector<BYTE> encodeStringBlock(const StringBlock& block) {
    std::vector<BYTE> data;
    for (const std::wstring& text : block) {
        const size_t length = text.size();
        data.push_back(static_cast<BYTE>(length & 0xFF));
        data.push_back(static_cast<BYTE>(length >> 8));
        for (wchar_t c : text) {
            data.push_back(static_cast<BYTE>(c & 0xFF));
            data.push_back(static_cast<BYTE>(c >> 8));
        }
    }
    return data;
}
