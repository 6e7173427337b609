#pragma once
// What the conversion calls once the package is built: the opening checks of the Post
// dialog, and then whatever the caller does with an opened post (the desktop runs the
// dialog, the command-line tool posts at once).

#include <functional>
#include <string>

#include "convert/PostHandler.h"
#include "prompt/Prompt.h"
#include "settings/SettingsStore.h"
#include "upload/PostController.h"

class CPostOpenHandler final : public CPostHandler {
public:
    // Called with the opened controller; returns when the dialog (or the post) is over.
    using RunFunction = std::function<void(CPostController&)>;

    // `settings` and `prompt` are borrowed for the handler's life; the opening messages
    // go to `prompt`.
    CPostOpenHandler(const CSettingsStore& settings, CPrompt& prompt, RunFunction run);

    // True when the checks passed and `run` was called; toneName is not used (the user
    // names the tone in the dialog).
    bool OpenPost(const std::string& packagePath, const std::string& toneName) override;

private:
    const CSettingsStore& m_settings;
    CPrompt& m_prompt;
    RunFunction m_run;
};
