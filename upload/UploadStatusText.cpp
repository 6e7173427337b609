#include "upload/UploadStatusText.h"

std::string_view UploadStatusText(HttpStep step)
{
    switch (step) {
    case HttpStep::Resolving:
        return "Resolving Zorvat Home Site's IP...";
    case HttpStep::Resolved:
        return "Got Zorvat Home Site's IP !";
    case HttpStep::Connecting:
        return "Connecting to Zorvat Home Site...";
    case HttpStep::Connected:
        return "Connected to Zorvat Home Site !";
    case HttpStep::Sending:
        return "Uploading data to server...";
    case HttpStep::Sent:
        return "Data uploaded to server !";
    case HttpStep::Receiving:
        return "Waiting response from server...";
    case HttpStep::Received:
        return "Got response from server !";
    case HttpStep::Closing:
        return "Disconnecting from Zorvat Home Site...";
    case HttpStep::Closed:
        return "Disconnected !";
    }
    return {};
}
