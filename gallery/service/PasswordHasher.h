#pragma once
// Authors' passwords, kept only as salted Argon2id hashes (libsodium's
// crypto_pwhash_str: the text holds the algorithm, its cost and a random salt).

#include <cstddef>
#include <semaphore>
#include <string>
#include <string_view>

// How costly a new hash is. Minimum is for tests and benchmarks of the rest of the
// server; a hash made at any cost verifies at that cost later.
enum class PasswordCost { Minimum, Interactive, Moderate };

class CPasswordHasher {
public:
    // Hashes computed at once; each may take the cost's memory (64 MiB interactive).
    static constexpr std::ptrdiff_t kMaxParallelHashes = 2;

    explicit CPasswordHasher(PasswordCost cost = PasswordCost::Interactive);
    CPasswordHasher(const CPasswordHasher&) = delete;
    CPasswordHasher& operator=(const CPasswordHasher&) = delete;

    // False when the library could not start or the memory could not be had.
    [[nodiscard]] bool Hash(std::string_view password, std::string& hash);
    // True only when `hash` is a hash of `password`.
    [[nodiscard]] bool Verify(const std::string& hash, std::string_view password);

    // "minimum", "interactive", "moderate".
    [[nodiscard]] static bool CostOfName(std::string_view name, PasswordCost& cost);

private:
    unsigned long long m_opsLimit;
    std::size_t m_memLimit;
    bool m_bReady;
    std::counting_semaphore<kMaxParallelHashes> m_slots{kMaxParallelHashes};
};
