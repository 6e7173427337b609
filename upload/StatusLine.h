#pragma once
// The Post dialog's one-line upload status. During a transfer SetText is called on the
// thread that runs the transfer, which need not be the user-interface thread: a desktop
// implementation must hand the text over to its own thread.

#include <mutex>
#include <string>
#include <vector>

class CStatusLine {
public:
    virtual ~CStatusLine() = default;
    virtual void SetText(const std::string& text) = 0;
};

// Keeps every text it was given, in order; safe to use from several threads.
class CRecordingStatusLine final : public CStatusLine {
public:
    void SetText(const std::string& text) override
    {
        std::lock_guard lock(m_mutex);
        m_texts.push_back(text);
    }
    [[nodiscard]] std::vector<std::string> Texts() const
    {
        std::lock_guard lock(m_mutex);
        return m_texts;
    }
    [[nodiscard]] std::string Last() const
    {
        std::lock_guard lock(m_mutex);
        return m_texts.empty() ? std::string() : m_texts.back();
    }
    void Clear()
    {
        std::lock_guard lock(m_mutex);
        m_texts.clear();
    }

private:
    mutable std::mutex m_mutex;
    std::vector<std::string> m_texts;
};
