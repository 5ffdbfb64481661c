#pragma once
#include <cstdio>
#include <string>
#include <unistd.h>

// A progress line on standard error when it is a terminal, redrawn in place and cleared at
// the end; nothing at all otherwise.
class ProgressLine {
  public:
    ProgressLine() : m_shown(::isatty(STDERR_FILENO) == 1) {}
    ~ProgressLine() {
        if (m_drawn)
            std::fputs("\r\033[K", stderr);
    }
    ProgressLine(const ProgressLine&) = delete;
    ProgressLine& operator=(const ProgressLine&) = delete;

    void Report(const std::string& text) {
        if (!m_shown)
            return;
        std::fprintf(stderr, "\r\033[K%s", text.c_str());
        std::fflush(stderr);
        m_drawn = true;
    }

  private:
    bool m_shown;
    bool m_drawn = false;
};
