#include "web/VolumeService.h"

#include <map>
#include <nlohmann/json.hpp>

#include "base/Text.h"
#include "base/TextCase.h"
#include "web/uHelper.h"

namespace kelvaro {

namespace {

using nlohmann::json;

bool IsSpace(char ch) { return ch == ' ' || ch == '\t'; }

// Phrases the service is not asked for: they have no volume.
bool IsAskable(const std::string& phrase) {
  if (phrase.size() > kVolumeMaxPhraseBytes) return false;
  bool any = false;
  for (const char ch : phrase) {
    const auto code = static_cast<unsigned char>(ch);
    if (code < 32 && ch != '\t') return false;
    if (code == 127) return false;
    if (!IsSpace(ch)) any = true;
  }
  return any;
}

// A JSON whole number >= 0 that fits in 64 bits; a float, a string or a negative number is not.
std::optional<int64_t> Volume(const json& value) {
  if (value.is_number_unsigned()) {
    const uint64_t volume = value.get<uint64_t>();
    if (volume > static_cast<uint64_t>(INT64_MAX)) return std::nullopt;
    return static_cast<int64_t>(volume);
  }
  if (value.is_number_integer() && value.get<int64_t>() >= 0) return value.get<int64_t>();
  return std::nullopt;
}

std::string MessageOf(const json& answer) {
  for (const char* member : {"message", "error"}) {
    const auto it = answer.find(member);
    if (it == answer.end()) continue;
    if (it->is_string()) return it->get<std::string>();
    if (it->is_object()) {
      const auto inner = it->find("message");
      if (inner != it->end() && inner->is_string()) return inner->get<std::string>();
    }
    return std::string();
  }
  return std::string();
}

}  // namespace

std::string VolumeMatchKey(const std::string& phrase) {
  std::string key;
  key.reserve(phrase.size());
  bool pending_space = false;
  for (const char ch : phrase) {
    if (IsSpace(ch)) {
      pending_space = !key.empty();
      continue;
    }
    if (pending_space) key += ' ';
    pending_space = false;
    key += ch;
  }
  return LowerUtf8(key);
}

std::vector<size_t> VolumeSources(const std::vector<std::string>& phrases) {
  std::vector<size_t> sources(phrases.size(), SIZE_MAX);
  std::map<std::string, size_t> asked;
  for (size_t i = 0; i < phrases.size(); ++i) {
    if (IsAskable(phrases[i])) sources[i] = asked.emplace(VolumeMatchKey(phrases[i]), i).first->second;
  }
  return sources;
}

size_t VolumeCredits(const std::vector<std::string>& phrases) {
  const std::vector<size_t> sources = VolumeSources(phrases);
  size_t credits = 0;
  for (size_t i = 0; i < sources.size(); ++i) credits += sources[i] == i ? 1 : 0;
  return credits;
}

std::vector<VolumeRequest> VolumeRequests(const std::vector<std::string>& phrases,
                                          const std::string& country) {
  const std::string code = LowerAscii(Trim(country));
  const std::string head = "dataSource=gkp&country=" + URLEncode(code) + "&currency=usd";
  std::vector<VolumeRequest> requests;
  const std::vector<size_t> sources = VolumeSources(phrases);
  for (size_t i = 0; i < phrases.size(); ++i) {
    if (sources[i] != i) continue;
    if (requests.empty() || requests.back().phrases.size() == kVolumeBatchSize) {
      requests.push_back(VolumeRequest{head, {}});
    }
    requests.back().body += "&kw%5B%5D=" + URLEncode(phrases[i]);
    requests.back().phrases.push_back(i);
  }
  return requests;
}

bool IsVolumeCountry(const std::string& country) {
  const std::string code = Trim(country);
  if (code.empty()) return true;
  const auto letter = [](char ch) { return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z'); };
  return code.size() == 2 && letter(code[0]) && letter(code[1]);
}

std::string VolumeURL(const std::string& endpoint) {
  std::string base = Trim(endpoint);
  while (!base.empty() && base.back() == '/') base.pop_back();
  return (base.empty() ? std::string(kVolumeEndpoint) : base) + kVolumePath;
}

std::vector<std::string> VolumeHeaders(const std::string& api_key) {
  return {"Authorization: Bearer " + Trim(api_key), "Accept: application/json"};
}

VolumeAnswer ReadVolumeAnswer(long http_status, const std::string& body,
                              const VolumeRequest& request,
                              const std::vector<std::string>& phrases) {
  VolumeAnswer answer;
  answer.volumes.assign(request.phrases.size(), std::nullopt);
  const json document = json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (!document.is_object()) return answer;
  answer.message = MessageOf(document);
  const auto credits = document.find("credits");
  if (credits != document.end()) answer.credits = Volume(*credits);
  const auto data = document.find("data");
  if (http_status < 200 || http_status > 299 || document.contains("message") ||
      document.contains("error") || data == document.end() || !data->is_array()) {
    return answer;
  }
  answer.ok = true;

  // Position of each asked phrase in the answer's list, by its match key.
  std::map<std::string, size_t> slot;
  for (size_t i = 0; i < request.phrases.size(); ++i) {
    slot.emplace(VolumeMatchKey(phrases.at(request.phrases[i])), i);
  }
  std::vector<bool> conflict(request.phrases.size(), false);
  for (const json& entry : *data) {
    if (!entry.is_object()) continue;
    const auto keyword = entry.find("keyword");
    if (keyword == entry.end() || !keyword->is_string()) continue;
    const auto found = slot.find(VolumeMatchKey(keyword->get<std::string>()));
    if (found == slot.end()) continue;
    const size_t i = found->second;
    const auto vol = entry.find("vol");
    const std::optional<int64_t> volume = vol == entry.end() ? std::nullopt : Volume(*vol);
    if (!volume || (answer.volumes[i] && *answer.volumes[i] != *volume)) conflict[i] = true;
    answer.volumes[i] = volume;
  }
  for (size_t i = 0; i < conflict.size(); ++i) {
    if (conflict[i]) answer.volumes[i] = std::nullopt;
  }
  return answer;
}

}  // namespace kelvaro
