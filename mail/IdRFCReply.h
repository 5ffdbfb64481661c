#pragma once
#include "mail/IdException.h"

#include <string>
#include <vector>

// A numeric reply of a text protocol: "250-first" ... "250 last".
class TIdRFCReply {
  public:
    TIdRFCReply() = default;
    TIdRFCReply(const TIdRFCReply& other) { Assign(other); }
    TIdRFCReply& operator=(const TIdRFCReply& other) {
        if (this != &other)
            Assign(other);
        return *this;
    }
    virtual ~TIdRFCReply() = default;

    int NumericCode() const { return m_numericCode; }
    // Stores the code and, when above 0, its decimal text as TextCode.
    void SetNumericCode(int code);
    const std::string& TextCode() const { return m_textCode; }
    // Stores the text and, when not empty, its integer value (0 when not a number).
    void SetTextCode(const std::string& code);
    const std::vector<std::string>& Text() const { return m_text; }
    void SetText(const std::vector<std::string>& lines) { m_text = lines; }

    void ClearReply();
    // Clears this record, then copies code, lines and code text.
    virtual void Assign(const TIdRFCReply& source);
    // Fills the record from the raw lines of one reply.
    void ParseReply(const std::vector<std::string>& lines);
    void ParseReply(const std::string* lines, std::size_t count);
    // The lines, each followed by CR LF.
    std::string JoinedText() const;
    // The same for the user's eyes: control bytes and bytes that are not well-formed UTF-8
    // become "?", and the text stops after about MaxShownBytes.
    std::string PrintableText() const;

    // A message box shows no more than this usefully.
    static constexpr std::size_t MaxShownBytes = 4096;

  private:
    int m_numericCode = 0;
    std::string m_textCode;
    std::vector<std::string> m_text;
};

// A reply whose code the caller does not accept; the message is the server's text.
class EIdProtocolReplyError : public EIdException {
  public:
    EIdProtocolReplyError(int code, const std::string& message,
                          TIdFailure failure = TIdFailure::Other)
        : EIdException(message, failure), m_code(code) {}
    int ReplyErrorCode() const { return m_code; }

  private:
    int m_code;
};

// Bytes of code 32 or less removed at both ends, as every reply line is read.
std::string IdTrimControls(const std::string& text);
void IdTrimControlsInPlace(std::string& text);
