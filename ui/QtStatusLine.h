#pragma once
// The Post dialog's status line as the upload sets it. SetText may be called on the
// transfer's thread: the texts wait in a queue until the dialog's thread collects
// them with DeliverPending, which hands each to textChanged in the order set.

#include <QObject>
#include <QString>
#include <deque>
#include <mutex>
#include <string>

#include "upload/StatusLine.h"

class CQtStatusLine final : public QObject, public CStatusLine {
    Q_OBJECT

public:
    using QObject::QObject;

    // Any thread.
    void SetText(const std::string& text) override;
    // Emits textChanged for every text still waiting; on this object's thread.
    void DeliverPending();

signals:
    void textChanged(const QString& text);

private:
    std::mutex m_mutex;
    std::deque<std::string> m_pending;
};
