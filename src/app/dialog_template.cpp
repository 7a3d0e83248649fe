#include "app/dialog_template.h"

namespace {

// Reads a template with bounds checks; any read past the end marks it bad.
class Reader {
public:
    Reader(const BYTE* data, size_t size) : data_(data), size_(size) {}

    size_t position() const { return position_; }
    bool ok() const { return ok_; }

    void skip(size_t count) {
        if (!ok_ || count > size_ - position_) {
            ok_ = false;
            return;
        }
        position_ += count;
    }
    WORD word() {
        if (!ok_ || size_ - position_ < 2) {
            ok_ = false;
            return 0;
        }
        WORD value = static_cast<WORD>(data_[position_] | (data_[position_ + 1] << 8));
        position_ += 2;
        return value;
    }
    DWORD dword() {
        DWORD low = word();
        DWORD high = word();
        return low | (high << 16);
    }
    // A NUL-terminated UTF-16 string.
    void string() {
        while (ok_ && word() != 0) {
        }
    }
    // A string, an ordinal (0xFFFF and a number) or nothing (a single 0).
    void stringOrOrdinal() {
        const size_t start = position_;
        const WORD first = word();
        if (!ok_) return;
        if (first == 0xFFFF) {
            word();
        } else if (first != 0) {
            position_ = start;
            string();
        }
    }
    void alignDword() {
        const size_t aligned = (position_ + 3) & ~static_cast<size_t>(3);
        skip(aligned - position_);
    }

private:
    const BYTE* data_;
    size_t size_;
    size_t position_ = 0;
    bool ok_ = true;
};

void append(std::vector<BYTE>& out, const BYTE* data, size_t from, size_t to) {
    out.insert(out.end(), data + from, data + to);
}

void padToDword(std::vector<BYTE>& out) {
    while (out.size() % 4 != 0) out.push_back(0);
}

}  // namespace

std::vector<BYTE> dialogTemplateWithClass(const BYTE* data, size_t size, const std::wstring& className) {
    Reader in(data, size);
    const WORD version = in.word();
    const WORD signature = in.word();
    if (!in.ok() || version != 1 || signature != 0xFFFF) return {};
    in.dword();  // help id
    in.dword();  // extended style
    const DWORD style = in.dword();
    const WORD itemCount = in.word();
    in.skip(8);  // x, y, cx, cy
    in.stringOrOrdinal();  // menu
    const size_t classStart = in.position();
    in.stringOrOrdinal();
    const size_t classEnd = in.position();
    in.string();  // title
    if (style & DS_SETFONT) {
        in.skip(6);  // point size, weight, italic, character set
        in.string();
    }
    const size_t headerEnd = in.position();
    if (!in.ok()) return {};

    std::vector<BYTE> out;
    out.reserve(size + className.size() * 2 + 8);
    append(out, data, 0, classStart);
    for (wchar_t c : className) {
        out.push_back(static_cast<BYTE>(c & 0xFF));
        out.push_back(static_cast<BYTE>(c >> 8));
    }
    out.push_back(0);
    out.push_back(0);
    append(out, data, classEnd, headerEnd);

    // Items start on DWORD boundaries; the new class name can shift them, so
    // each one is copied to its own aligned place.
    for (WORD i = 0; i < itemCount; ++i) {
        in.alignDword();
        const size_t itemStart = in.position();
        in.skip(24);  // help id, extended style, style, x, y, cx, cy, id
        in.stringOrOrdinal();  // class
        in.stringOrOrdinal();  // title
        const WORD extra = in.word();
        in.skip(extra);
        if (!in.ok()) return {};
        padToDword(out);
        append(out, data, itemStart, in.position());
    }
    return out;
}

bool findDialogTemplate(HINSTANCE module, int id, const BYTE*& data, size_t& size) {
    HRSRC resource = ::FindResourceW(module, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(5) /* RT_DIALOG */);
    if (resource == nullptr) return false;
    HGLOBAL loaded = ::LoadResource(module, resource);
    if (loaded == nullptr) return false;
    data = static_cast<const BYTE*>(::LockResource(loaded));
    size = ::SizeofResource(module, resource);
    return data != nullptr && size != 0;
}
