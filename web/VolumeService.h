#pragma once

// Monthly search volumes from Keywords Everywhere's keyword-data API: the requests a list of
// phrases needs and the reading of their answers. Nothing here sends a request or throws. The
// key travels in a header only (VolumeHeaders), never in a body, a URL or a returned text.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelvaro {

// The service's own address and the path of its keyword-data request.
inline constexpr char kVolumeEndpoint[] = "https://api.keywordseverywhere.com";
inline constexpr char kVolumePath[] = "/v1/get_keyword_data";

// Phrases per request, and the longest phrase (in bytes) the service is asked for.
inline constexpr size_t kVolumeBatchSize = 100;
inline constexpr size_t kVolumeMaxPhraseBytes = 100;

// One POST: its form-encoded body and which of the caller's phrases it asks for (indexes into
// the list given to VolumeRequests, in the order of the body's kw[] entries).
struct VolumeRequest {
  std::string body;
  std::vector<size_t> phrases;
};

// The requests for `phrases` (UTF-8 texts), at most kVolumeBatchSize phrases each. A phrase is
// left out, and so has no volume, when it is empty or only spaces, longer than
// kVolumeMaxPhraseBytes, holds a control character, or was asked for earlier in the list (the
// earlier request's answer serves both). `country` is a two-letter code or empty (global).
std::vector<VolumeRequest> VolumeRequests(const std::vector<std::string>& phrases,
                                          const std::string& country);

// For each phrase, the index of the phrase whose answer gives its volume: itself when it is
// asked, the earlier same phrase for a repeat, SIZE_MAX for a phrase that is not asked.
std::vector<size_t> VolumeSources(const std::vector<std::string>& phrases);

// The credits a run asking for `phrases` spends: one per phrase asked.
size_t VolumeCredits(const std::vector<std::string>& phrases);

// Whether `country` may be stored as the volume country: empty (worldwide) or two ASCII
// letters, spaces around it allowed.
bool IsVolumeCountry(const std::string& country);

// The request URL for `endpoint` (empty: the service's own address; a trailing "/" is dropped).
std::string VolumeURL(const std::string& endpoint);

// The request's headers, "Name: value" each: the key as a bearer token, JSON accepted.
std::vector<std::string> VolumeHeaders(const std::string& api_key);

// What one answer says.
struct VolumeAnswer {
  bool ok = false;
  // The service's own message for a failed request ("message" or "error"); may be empty.
  std::string message;
  // The credits the account has left, when the answer says.
  std::optional<int64_t> credits;
  // One entry per phrase the request asked for, in its order: the monthly searches, or nothing
  // when the answer has no usable volume for it (missing, not a whole number >= 0, or entries
  // for the phrase that disagree).
  std::vector<std::optional<int64_t>> volumes;
};

// Reads an answer to `request`. `phrases` is the list given to VolumeRequests. An answer is a
// failure when the HTTP status is not 2xx, the body is not a JSON object, it has a "message" or
// "error" member, or its "data" is not a list. Entries match phrases by keyword, ignoring letter
// case (LowerUtf8) and runs of white space, never by position; entries for phrases not asked are
// ignored.
VolumeAnswer ReadVolumeAnswer(long http_status, const std::string& body,
                              const VolumeRequest& request,
                              const std::vector<std::string>& phrases);

// A phrase as the service's keyword is compared: lower case (LowerUtf8), white space runs folded
// to one space, none at either end.
std::string VolumeMatchKey(const std::string& phrase);

}  // namespace kelvaro
