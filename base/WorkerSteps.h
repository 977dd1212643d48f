#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "base/WorkerHost.h"

namespace kelvaro {

// What both workers do the same way between their own steps.

// num / den to the nearest integer, halves to even (den > 0, num >= 0).
int64_t RoundHalfEven(int64_t num, int64_t den);

// The error path of a failed request: on the last phrase or row a plain box with
// `error_text` and false (the run ends); before it the question
// `error_text` + "\r\n\r\nDo you wish to continue request?" and true for Yes.
bool AskToContinue(WorkerHost& host, const std::string& error_text, bool last);

// One request: the credentials are read afresh (the settings dialog may change them
// during a run), `build_url` makes the URL from them and the host's endpoint, and the
// host fetches it. A download that throws is an empty answer.
struct QueryAnswer {
  std::string url;
  std::string body;
};
QueryAnswer QueryAndDownload(
    WorkerHost& host,
    const std::function<std::string(const Credentials& credentials, const std::string& endpoint)>&
        build_url);

}  // namespace kelvaro
