#pragma once
// The How To box ("Zorvat Zavi How To"): the steps of making and submitting a
// ringtone in a read-only text without scroll bars, under the label "Steps to
// submit a Ringtone:"; under them, what else the program does (the overview, the
// range, the exports), and "OK". The texts are sized to fit whole.
//
// Controls carry the object names "control<id>" of ControlId::HowTo (ui/ControlIds.h);
// OK is ControlId::kOk.

#include <QDialog>
#include <string>

class QTextEdit;

// The address of the service's web site.
inline constexpr char kServiceSite[] = "http://gallery.zorvat.example";

class CHowToDlg final : public QDialog {
    Q_OBJECT

public:
    explicit CHowToDlg(QWidget* pParent = nullptr);
    ~CHowToDlg() override;

    // The steps with CR LF line breaks: an empty first line, no break after the last.
    [[nodiscard]] static std::string HowToText();
    // What else the program does, one paragraph each.
    [[nodiscard]] static std::string MoreText();

    std::string m_strText;

private:
    QTextEdit* m_pText = nullptr;
    QTextEdit* m_pMore = nullptr;
};
