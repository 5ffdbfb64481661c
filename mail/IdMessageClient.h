#pragma once
#include "mail/IdMessage.h"
#include "mail/IdTCPClient.h"

#include <string>
#include <vector>

// A client that writes a message onto its open connection: the header block, one empty
// line and the dot-stuffed body, as SMTP expects after DATA.
class TIdMessageClient : public TIdTCPClient {
  public:
    TIdMessageClient() = default;

    // The header block, an empty line and (unless headersOnly) the body. With NoEncode the
    // message's own header lines and body go out as they are. Throws EIdMessageException,
    // before anything is sent, for a message with parts; what the header block and the
    // connection throw; nothing is sent when the header block fails.
    virtual void TransmitMessage(TIdMessage& message, bool headersOnly = false);
    // BuildHeaderLines, every line followed by CR LF.
    virtual void TransmitHeaderBlock(TIdMessage& message);
    // The body under "Encoding text" work notifications; under a Japanese locale every line
    // is converted from Shift_JIS to ISO-2022-JP. The work report ends also when a write
    // throws.
    virtual void TransmitBody(TIdMessage& message);
    // The body lines (or the body text), dot-stuffed. A line holding CR or LF is split there,
    // so no body text can end the data early or pass as a command.
    virtual void WriteBodyLines(TIdMessage& message);

  protected:
    // The wire form of WriteStuffedLines(SplitTextLines(text)), sent from the text itself
    // wherever it needs no change.
    void WriteStuffedText(std::string_view text);
    // Writes lines dot-stuffed, in sends of a few hundred kilobytes rather than one per line;
    // convert (when set) is applied to each line after splitting.
    void WriteStuffedLines(const std::vector<std::string>& lines,
                           std::string (*convert)(std::string_view) = nullptr);
};
