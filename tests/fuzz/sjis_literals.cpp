// Copies a UTF-8 C++ source file with every non-ASCII character of its string and
// character literals turned into octal escapes of its Shift-JIS (code page 932) bytes.
// The fuzzers are built with clang, which has no -fexec-charset=CP932; compiled from the
// copy, every literal holds exactly the bytes that g++ puts into the program. Non-ASCII
// text in comments becomes "?", so that no byte of it can continue a comment line.
// Usage: sjis_literals <in> <out>
#include <iconv.h>
#include <cstdio>
#include <string>

namespace {

std::size_t utf8_length(unsigned char c) {
    if (c >= 0xF0) return 4;
    if (c >= 0xE0) return 3;
    if (c >= 0xC0) return 2;
    return 1;
}

bool to_cp932(iconv_t cd, const std::string& in, std::string* out) {
    char buf[16];
    char* ip = const_cast<char*>(in.data());
    std::size_t il = in.size();
    char* op = buf;
    std::size_t ol = sizeof(buf);
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
    if (iconv(cd, &ip, &il, &op, &ol) == (std::size_t)-1) return false;
    out->assign(buf, sizeof(buf) - ol);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: sjis_literals <in> <out>\n");
        return 2;
    }
    std::FILE* f = std::fopen(argv[1], "rb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    std::string src;
    char chunk[4096];
    std::size_t n;
    while ((n = std::fread(chunk, 1, sizeof(chunk), f)) > 0) src.append(chunk, n);
    std::fclose(f);

    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == (iconv_t)-1) {
        std::perror("iconv_open CP932");
        return 1;
    }
    enum { Code, LineComment, BlockComment, String, Char } state = Code;
    std::string out;
    for (std::size_t i = 0; i < src.size();) {
        unsigned char c = (unsigned char)src[i];
        if (c >= 0x80) {
            std::size_t len = utf8_length(c);
            std::string ch = src.substr(i, len);
            i += len;
            if (state == String || state == Char) {
                std::string bytes;
                if (!to_cp932(cd, ch, &bytes)) {
                    std::fprintf(stderr, "%s: character without a Shift-JIS form at byte %zu\n",
                                 argv[1], i - len);
                    return 1;
                }
                for (unsigned char b : bytes) {
                    char esc[8];
                    std::snprintf(esc, sizeof(esc), "\\%03o", b);
                    out += esc;
                }
            } else {
                out += '?';
            }
            continue;
        }
        char next = i + 1 < src.size() ? src[i + 1] : '\0';
        switch (state) {
        case Code:
            if (c == '/' && next == '/') state = LineComment;
            else if (c == '/' && next == '*') state = BlockComment;
            else if (c == '"') state = String;
            else if (c == '\'') state = Char;
            if (state == LineComment || state == BlockComment) {
                out += src.substr(i, 2);
                i += 2;
                continue;
            }
            break;
        case LineComment:
            if (c == '\n') state = Code;
            break;
        case BlockComment:
            if (c == '*' && next == '/') {
                out += "*/";
                i += 2;
                state = Code;
                continue;
            }
            break;
        case String:
        case Char:
            if (c == '\\' && i + 1 < src.size() && (unsigned char)next < 0x80) {
                out += src.substr(i, 2);
                i += 2;
                continue;
            }
            if ((state == String && c == '"') || (state == Char && c == '\'')) state = Code;
            break;
        }
        out += (char)c;
        ++i;
    }
    iconv_close(cd);

    f = std::fopen(argv[2], "wb");
    if (!f || std::fwrite(out.data(), 1, out.size(), f) != out.size() || std::fclose(f) != 0) {
        std::perror(argv[2]);
        return 1;
    }
    return 0;
}
