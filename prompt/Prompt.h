#pragma once
// The one way a message or a question reaches the user. The desktop program shows
// message boxes, the command-line tool prints "CAPTION: text", tests record.
// A message may carry a detail: a secondary text that says why (the box shows it
// under the text, the command-line tool on the next line).

#include <deque>
#include <string>
#include <vector>

enum class PromptIcon { Stop, Exclamation, Information, Question };
enum class PromptButtons { Ok, OkCancel };
enum class PromptAnswer { Ok, Cancel };

class CPrompt {
public:
    virtual ~CPrompt() = default;
    // Shows `text` under `caption`, with `detail` below it when not empty, and waits
    // for the answer (always Ok for PromptButtons::Ok).
    virtual PromptAnswer Show(const std::string& text, const std::string& caption, PromptIcon icon,
                              PromptButtons buttons = PromptButtons::Ok, const std::string& detail = {}) = 0;
};

// The caption of the program's stop-icon messages.
inline constexpr const char* kErrorCaption = "ERROR";

// The stop-icon "ERROR" of every file that could not be made:
// Cannot VERB the file "FILE": REASON.
inline void ShowFileError(CPrompt& prompt, const std::string& verb, const std::string& file,
                          const std::string& reason)
{
    prompt.Show("Cannot " + verb + " the file \"" + file + "\": " + reason + ".", kErrorCaption, PromptIcon::Stop);
}

// Records every message and answers questions from a queue (Ok once the queue is empty).
class CRecordingPrompt final : public CPrompt {
public:
    struct Entry {
        std::string text;
        std::string caption;
        PromptIcon icon;
        PromptButtons buttons;
        std::string detail;
    };

    PromptAnswer Show(const std::string& text, const std::string& caption, PromptIcon icon,
                      PromptButtons buttons = PromptButtons::Ok, const std::string& detail = {}) override
    {
        m_entries.push_back({text, caption, icon, buttons, detail});
        if (buttons == PromptButtons::Ok || m_answers.empty())
            return PromptAnswer::Ok;
        PromptAnswer a = m_answers.front();
        m_answers.pop_front();
        return a;
    }

    void QueueAnswer(PromptAnswer a) { m_answers.push_back(a); }
    [[nodiscard]] const std::vector<Entry>& Entries() const { return m_entries; }
    void Clear() { m_entries.clear(); }

private:
    std::vector<Entry> m_entries;
    std::deque<PromptAnswer> m_answers;
};
