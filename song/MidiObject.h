#pragma once

// Root of chunks and events: a virtual destructor and nothing else.
class CMidiObject {
public:
    CMidiObject() = default;
    CMidiObject(const CMidiObject&) = delete;
    CMidiObject& operator=(const CMidiObject&) = delete;
    virtual ~CMidiObject() = default;
};
