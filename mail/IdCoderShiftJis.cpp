#include "mail/IdCoderHeader.h"

#include <cstdint>

namespace {

// JIS X 0208 codes of the full-width forms of the half-width katakana 0xA1 to 0xDF.
constexpr std::uint16_t FullWidthKana[0xDF - 0xA1 + 1] = {
    0x2123, 0x2156, 0x2157, 0x2122, 0x2126, 0x2572, 0x2521, 0x2523, // A1-A8
    0x2525, 0x2527, 0x2529, 0x2563, 0x2565, 0x2567, 0x2543, 0x213C, // A9-B0
    0x2522, 0x2524, 0x2526, 0x2528, 0x252A, 0x252B, 0x252D, 0x252F, // B1-B8
    0x2531, 0x2533, 0x2535, 0x2537, 0x2539, 0x253B, 0x253D, 0x253F, // B9-C0
    0x2541, 0x2544, 0x2546, 0x2548, 0x254A, 0x254B, 0x254C, 0x254D, // C1-C8
    0x254E, 0x254F, 0x2552, 0x2555, 0x2558, 0x255B, 0x255E, 0x255F, // C9-D0
    0x2560, 0x2561, 0x2562, 0x2564, 0x2566, 0x2568, 0x2569, 0x256A, // D1-D8
    0x256B, 0x256C, 0x256D, 0x256F, 0x2573, 0x212B, 0x212C,         // D9-DF
};

constexpr unsigned char VoicedMark = 0xDE;
constexpr unsigned char SemiVoicedMark = 0xDF;

// The voiced form (dakuten) of a full-width katakana from the table above, or 0 when it
// has none in JIS X 0208. In the KA to TO and HA to HO rows each plain letter of the table
// is followed by its voiced form; the small TSU is the one letter there without one.
std::uint16_t VoicedForm(std::uint16_t code) {
    if (code == 0x2526) // U becomes VU, which sits apart from the other voiced forms
        return 0x2574;
    if ((code >= 0x252B && code <= 0x2548 && code != 0x2543) || (code >= 0x254F && code <= 0x255B))
        return code + 1;
    return 0;
}

bool IsDoubleByteLead(unsigned char c) {
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF);
}

bool IsTrail(unsigned char c) {
    return c >= 0x40 && c <= 0xFC && c != 0x7F;
}

// The standard arithmetic mapping of a Shift_JIS pair onto its JIS X 0208 row and cell.
std::uint16_t PairToJis(unsigned char lead, unsigned char trail) {
    int row = (lead <= 0x9F ? lead - 0x70 : lead - 0xB0) * 2;
    int cell;
    if (trail >= 0x9F) {
        cell = trail - 0x7E;
    } else {
        --row;
        cell = trail - (trail >= 0x80 ? 0x20 : 0x1F);
    }
    return static_cast<std::uint16_t>(row << 8 | cell);
}

class JisWriter {
  public:
    void Ascii(char c) {
        if (twoByte_) {
            out_ += "\x1B(B";
            twoByte_ = false;
        }
        out_ += c;
    }
    void Jis(std::uint16_t code) {
        if (!twoByte_) {
            out_ += "\x1B$B";
            twoByte_ = true;
        }
        out_ += static_cast<char>(code >> 8);
        out_ += static_cast<char>(code & 0xFF);
    }
    std::string Finish() {
        if (twoByte_)
            out_ += "\x1B(B";
        return std::move(out_);
    }

  private:
    std::string out_;
    bool twoByte_ = false;
};

} // namespace

std::string ShiftJisToIso2022Jp(std::string_view text) {
    JisWriter out;
    std::size_t i = 0;
    while (i < text.size()) {
        const auto c = static_cast<unsigned char>(text[i++]);
        const auto next = i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
        if (c < 0x80) {
            out.Ascii(static_cast<char>(c));
        } else if (c >= 0xA1 && c <= 0xDF) {
            std::uint16_t code = FullWidthKana[c - 0xA1];
            const std::uint16_t voiced = VoicedForm(code);
            if (voiced && i < text.size() && next == VoicedMark) {
                code = voiced;
                ++i;
            } else if (voiced >= 0x2550 && voiced <= 0x255C && i < text.size() &&
                       next == SemiVoicedMark) {
                code = voiced + 1;
                ++i;
            }
            out.Jis(code);
        } else if (IsDoubleByteLead(c)) {
            if (i >= text.size())
                break; // a lead byte cut off at the end
            ++i;
            if (IsTrail(next))
                out.Jis(PairToJis(c, next));
        } else if (c >= 0xF0 && c <= 0xFC) {
            ++i; // user-defined characters have no JIS X 0208 code
        }
        // 0x80, 0xA0 and 0xFD to 0xFF are not Shift_JIS bytes at all
    }
    return out.Finish();
}
