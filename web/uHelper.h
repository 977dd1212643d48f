#pragma once

// Free helpers both workers use to fetch a search answer and cut values out of it. None of them
// throws for an ordinary failure: a failed download is an empty (or partial) text, a missing
// marker is "not found". Texts are bytes; positions are 1-based.

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "web/HttpClient.h"

namespace kelvaro {

// The user agent every request carries.
inline constexpr char kUserAgent[] =
    "Mozilla/5.0 (Windows; U; Windows NT 6.0; en-US; rv:1.9.2.24) Gecko/20111103 "
    "Firefox/3.6.24 ( .NET CLR 3.5.30729; .NET4.0C)";

// A transfer during which nothing arrives for this long ends with what arrived before.
inline constexpr int kReceiveTimeoutMs = 10000;
// A transfer ends after this long in all, like a receive time-out: a server that sends a byte
// now and then cannot hold a request for ever.
inline constexpr int kTransferLimitMs = 60000;

// GETs the URL and returns the body byte for byte, whatever the HTTP status (an error answer's
// JSON body comes back like any other). Any failure (no connection, TLS, time-out, the
// transfer limit) gives the empty text or the part received so far; never throws. Blocks the
// calling thread; safe on any thread. Back-to-back calls on one thread reuse the open
// connection to the same host.
std::string DownloadPage(const std::string& url);

// DownloadPage's request with the answer's HTTP status and Retry-After header where the platform
// tells them (libcurl does; WinInet as far as it can), whether it arrived whole, and a receive
// time-out of its own. Setting `*abort` (from any thread) ends the transfer within a fraction
// of a second.
HttpAnswer DownloadAnswer(const std::string& url, int receive_timeout_ms = kReceiveTimeoutMs,
                          const std::atomic<bool>* abort = nullptr);

// POSTs the form-encoded `body` to the URL with DownloadPage's headers and `headers` ("Name:
// value" each) added; the answer as DownloadAnswer gives it. Never throws.
HttpAnswer PostForm(const std::string& url, const std::vector<std::string>& headers,
                    const std::string& body, int receive_timeout_ms = kReceiveTimeoutMs,
                    const std::atomic<bool>* abort = nullptr);

// DownloadAnswer's GET with `headers` ("Name: value" each) added to DownloadPage's. Never throws.
HttpAnswer DownloadWithHeaders(const std::string& url, const std::vector<std::string>& headers,
                               int receive_timeout_ms = kReceiveTimeoutMs,
                               const std::atomic<bool>* abort = nullptr);

// Cuts the text between the first start_marker and the next end_marker into value. Returns
// true when both markers were found and the cut text is a valid 64-bit integer text (see
// TryStrToInt64); value keeps the cut text even when it is not. When a marker is missing,
// returns false and leaves value unchanged.
bool ExtractNumber(const std::string& text, const std::string& start_marker,
                   const std::string& end_marker, std::string& value);

// Like ExtractNumber, but the search for start_marker begins at the 1-based position pos (a
// position beyond the end finds nothing). On success pos moves to the 1-based position of the
// end marker, so the next call continues from there. Returns true when the cut text is
// non-empty. When a marker is missing, returns false and leaves value and pos unchanged.
bool ExtractBetween(const std::string& text, const std::string& start_marker,
                    const std::string& end_marker, int& pos, std::string& value);

// Percent-encodes every byte except 0-9 a-z A-Z - . _ ~ as %XX (upper-case hex).
std::string URLEncode(const std::string& text);

// The first n bytes of s (all of s when shorter; empty when n <= 0).
std::string LeftCopy(const std::string& s, int n);

// Two upper-case hexadecimal digits: 0A, FF.
std::string HexByte(unsigned char value);

// The integer-text rule: leading spaces, one optional sign, then decimal digits or hexadecimal
// digits after "$", "x" or "0x" (either case); nothing may follow the digits. A decimal value
// outside the type's range is invalid; a hexadecimal value wraps within the width, and a value
// needing more hexadecimal digits than the width holds is invalid (leading zeros do not count).
// On failure value is left unchanged.
bool TryStrToInt(const std::string& text, int32_t& value);
bool TryStrToInt64(const std::string& text, int64_t& value);

// Reads a count text as a number, the one reading behind sorting, colouring and averaging
// counts: the characters `skip` accepts are passed over, every other one must be a digit
// 0-9; at least one digit is needed and the value may not exceed `max`. On failure value is
// left unchanged. Each use keeps its own rule of what it passes over (ParseCount,
// DigitsToInt64, the grid's sort).
bool ReadCountDigits(std::string_view text, bool (*skip)(char), int64_t max, int64_t& value);

// Removes the bytes with codes 0-32 from both ends.
std::string Trim(const std::string& text);

}  // namespace kelvaro
