#pragma once
// A request body for Boost.Beast that keeps only its first bytes and counts the rest,
// up to a limit on how much is read at all (chunked bodies included): past it, or
// with a declared length past it, reading fails with http::error::body_limit once the
// header is whole, so the refusal can still name the request. What is kept bounds
// what a connection holds in memory while it drains an oversized post, so that the
// client still reads the refusal instead of a reset connection.

#include <boost/asio/buffer.hpp>
#include <boost/beast/core/error.hpp>
#include <boost/beast/http/error.hpp>
#include <boost/beast/http/message.hpp>
#include <boost/optional.hpp>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

struct CCappedBody {
    struct value_type {
        std::size_t m_nKeep = 0;  // bytes kept at most
        std::size_t m_nLimit = 0; // bytes read at most
        std::string m_strKept;
        std::size_t m_nTotal = 0;    // bytes received, kept or not
        std::uint64_t m_nDeclared = 0; // the Content-Length, when there was one
    };

    class reader {
    public:
        template <bool isRequest, class Fields>
        reader(boost::beast::http::header<isRequest, Fields>&, value_type& body) : m_body(body)
        {
        }

        void init(const boost::optional<std::uint64_t>& length, boost::beast::error_code& ec)
        {
            ec = {};
            m_body.m_nDeclared = length.value_or(0);
            if (length && *length > m_body.m_nLimit)
                ec = boost::beast::http::error::body_limit;
        }

        template <class ConstBufferSequence>
        std::size_t put(const ConstBufferSequence& buffers, boost::beast::error_code& ec)
        {
            ec = {};
            std::size_t received = 0;
            for (auto it = boost::asio::buffer_sequence_begin(buffers); it != boost::asio::buffer_sequence_end(buffers);
                 ++it) {
                boost::asio::const_buffer buffer = *it;
                const std::size_t room = m_body.m_nKeep - std::min(m_body.m_nKeep, m_body.m_strKept.size());
                m_body.m_strKept.append(static_cast<const char*>(buffer.data()), std::min(room, buffer.size()));
                received += buffer.size();
            }
            m_body.m_nTotal += received;
            if (m_body.m_nTotal > m_body.m_nLimit)
                ec = boost::beast::http::error::body_limit;
            return received;
        }

        void finish(boost::beast::error_code& ec) { ec = {}; }

    private:
        value_type& m_body;
    };
};
