#include "gallery/service/PasswordHasher.h"

#include <sodium.h>

namespace {

// Holds one of the hasher's slots for the length of one hash.
class CSlot {
public:
    explicit CSlot(std::counting_semaphore<CPasswordHasher::kMaxParallelHashes>& slots) : m_slots(slots)
    {
        m_slots.acquire();
    }
    ~CSlot() { m_slots.release(); }
    CSlot(const CSlot&) = delete;
    CSlot& operator=(const CSlot&) = delete;

private:
    std::counting_semaphore<CPasswordHasher::kMaxParallelHashes>& m_slots;
};

} // namespace

CPasswordHasher::CPasswordHasher(PasswordCost cost) : m_bReady(sodium_init() >= 0)
{
    switch (cost) {
    case PasswordCost::Minimum:
        m_opsLimit = crypto_pwhash_OPSLIMIT_MIN;
        m_memLimit = crypto_pwhash_MEMLIMIT_MIN;
        break;
    case PasswordCost::Moderate:
        m_opsLimit = crypto_pwhash_OPSLIMIT_MODERATE;
        m_memLimit = crypto_pwhash_MEMLIMIT_MODERATE;
        break;
    case PasswordCost::Interactive:
    default:
        m_opsLimit = crypto_pwhash_OPSLIMIT_INTERACTIVE;
        m_memLimit = crypto_pwhash_MEMLIMIT_INTERACTIVE;
        break;
    }
}

bool CPasswordHasher::Hash(std::string_view password, std::string& hash)
{
    if (!m_bReady)
        return false;
    char out[crypto_pwhash_STRBYTES];
    CSlot slot(m_slots);
    if (crypto_pwhash_str(out, password.data(), password.size(), m_opsLimit, m_memLimit) != 0)
        return false;
    hash = out;
    return true;
}

bool CPasswordHasher::Verify(const std::string& hash, std::string_view password)
{
    if (!m_bReady)
        return false;
    CSlot slot(m_slots);
    return crypto_pwhash_str_verify(hash.c_str(), password.data(), password.size()) == 0;
}

bool CPasswordHasher::CostOfName(std::string_view name, PasswordCost& cost)
{
    if (name == "minimum")
        cost = PasswordCost::Minimum;
    else if (name == "interactive")
        cost = PasswordCost::Interactive;
    else if (name == "moderate")
        cost = PasswordCost::Moderate;
    else
        return false;
    return true;
}
