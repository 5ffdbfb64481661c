#pragma once
// A small Rich Text Format reader for the tests: enough of the format to read back plain
// paragraphs with their bold, centring and size, so a test checks what a word processor
// would show rather than the writer's exact bytes.
#include <cctype>
#include <stdexcept>
#include <string>
#include <vector>

namespace veldrano::test {

struct RtfParagraph {
    std::string text; // bytes in the document's code page
    bool bold = false;
    bool centred = false;
    int halfPoints = 24; // RTF's default size, 12 points
};

struct RtfDocument {
    int codePage = 0;
    std::string fontName; // first font of the font table
    bool swissFamily = false;
    std::vector<RtfParagraph> paragraphs;

    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& p : paragraphs)
            out.push_back(p.text);
        return out;
    }
};

// Throws std::runtime_error on a document it cannot read.
inline RtfDocument ReadRtf(const std::string& rtf) {
    struct State {
        bool bold = false;
        bool centred = false;
        int halfPoints = 24;
        bool skip = false; // inside a destination whose text is not document text
        bool fontTable = false;
    };
    RtfDocument doc;
    std::vector<State> stack;
    State st;
    RtfParagraph current;
    bool started = false;
    bool fontNameDone = false;
    auto fail = [](const std::string& why) { throw std::runtime_error("bad RTF: " + why); };
    auto addByte = [&](char c) {
        if (st.fontTable) {
            if (c == ';')
                fontNameDone = true;
            else if (!fontNameDone)
                doc.fontName += c;
        } else if (!st.skip) {
            current.text += c;
            current.bold = st.bold;
            current.centred = st.centred;
            current.halfPoints = st.halfPoints;
        }
    };
    auto endParagraph = [&] {
        current.bold = st.bold;
        current.centred = st.centred;
        current.halfPoints = st.halfPoints;
        doc.paragraphs.push_back(current);
        current = RtfParagraph();
    };
    if (rtf.rfind("{\\rtf1", 0) != 0)
        fail("no {\\rtf1 at the start");
    size_t i = 0;
    while (i < rtf.size()) {
        char c = rtf[i];
        if (c == '{') {
            stack.push_back(st);
            started = true;
            ++i;
            if (rtf.compare(i, 2, "\\*") == 0)
                st.skip = true;
        } else if (c == '}') {
            if (stack.empty())
                fail("unbalanced }");
            // The document's closing brace ends its last paragraph, in the last state.
            if (stack.size() == 1)
                endParagraph();
            st = stack.back();
            stack.pop_back();
            ++i;
            if (stack.empty())
                break;
        } else if (c == '\r' || c == '\n') {
            ++i;
        } else if (c == '\\') {
            if (i + 1 >= rtf.size())
                fail("backslash at the end");
            char n = rtf[i + 1];
            if (n == '\\' || n == '{' || n == '}') {
                addByte(n);
                i += 2;
            } else if (n == '*') {
                i += 2;
            } else if (n == '\'') {
                if (i + 3 >= rtf.size() || !std::isxdigit(static_cast<unsigned char>(rtf[i + 2])) ||
                    !std::isxdigit(static_cast<unsigned char>(rtf[i + 3])))
                    fail("bad \\' escape");
                addByte(static_cast<char>(std::stoi(rtf.substr(i + 2, 2), nullptr, 16)));
                i += 4;
            } else if (std::isalpha(static_cast<unsigned char>(n))) {
                size_t j = i + 1;
                while (j < rtf.size() && std::isalpha(static_cast<unsigned char>(rtf[j])))
                    ++j;
                std::string word = rtf.substr(i + 1, j - i - 1);
                bool hasArg = false;
                int arg = 0;
                size_t k = j;
                if (k < rtf.size() &&
                    (rtf[k] == '-' || std::isdigit(static_cast<unsigned char>(rtf[k])))) {
                    ++k;
                    while (k < rtf.size() && std::isdigit(static_cast<unsigned char>(rtf[k])))
                        ++k;
                    arg = std::stoi(rtf.substr(j, k - j));
                    hasArg = true;
                }
                i = k < rtf.size() && rtf[k] == ' ' ? k + 1 : k;
                if (word == "par") {
                    if (!st.skip && !st.fontTable)
                        endParagraph();
                } else if (word == "pard") {
                    st.centred = false;
                } else if (word == "qc") {
                    st.centred = true;
                } else if (word == "ql" || word == "qr" || word == "qj") {
                    st.centred = false;
                } else if (word == "b") {
                    st.bold = !hasArg || arg != 0;
                } else if (word == "fs") {
                    st.halfPoints = arg;
                } else if (word == "ansicpg") {
                    doc.codePage = arg;
                } else if (word == "tab") {
                    addByte('\t');
                } else if (word == "fonttbl") {
                    st.fontTable = true;
                } else if (word == "fswiss") {
                    doc.swissFamily = st.fontTable;
                } else if (word == "colortbl" || word == "stylesheet" || word == "info") {
                    st.skip = true;
                }
            } else {
                fail(std::string("unknown control symbol \\") + n);
            }
        } else {
            addByte(c);
            ++i;
        }
    }
    if (!started || !stack.empty())
        fail("unbalanced braces");
    return doc;
}

} // namespace veldrano::test
