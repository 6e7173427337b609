#pragma once
// The steps of one HTTP exchange as the transport passes them, in their order.

enum class HttpStep {
    Resolving,  // looking up the host name
    Resolved,   // an address is known, a socket is being made for it
    Connecting, // the socket is connecting
    Connected,  // the connection is up
    Sending,    // the request is being sent
    Sent,       // the whole request body has left
    Receiving,  // the reply is awaited and read: right after Sent, or at its first line
    Received,   // the whole reply has arrived
    Closing,    // the connection is being closed
    Closed,     // the connection is closed
};

// Told of each step. A transport reports each step at most once and never a step
// before one it has already reported; steps it never reached are left out.
class CHttpStepSink {
public:
    virtual ~CHttpStepSink() = default;
    // Called on the thread that runs the transfer.
    virtual void OnStep(HttpStep step) = 0;
};

// For transfers nobody watches.
class CNullStepSink final : public CHttpStepSink {
public:
    void OnStep(HttpStep) override {}
};
