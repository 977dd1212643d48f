#include "tests/support/FakeWorkerHost.h"

#include <stdexcept>
#include <utility>

#include "ui/RunTexts.h"

namespace kelvaro::testing {

FakeWorkerHost::FakeWorkerHost() : WorkerHost(&NoticeText), endpoint_("https://customsearch.test") {
  credentials_.Set({"test-key", "test-engine"});
}

SearchSetup FakeWorkerHost::Search() const {
  SearchSetup setup;
  setup.credentials = &credentials_;
  {
    std::lock_guard lock(mutex_);
    setup.endpoint = endpoint_;
  }
  // The session only sends through it; it never changes the script.
  setup.http = const_cast<FakeWorkerHost*>(this);
  return setup;
}

std::string FakeWorkerHost::Endpoint() const {
  std::lock_guard lock(mutex_);
  return endpoint_;
}

Credentials RequestSettings(const FakeWorkerHost& host) {
  const SearchSetup setup = host.Search();
  return kelvaro::RequestSettings(setup.credentials->Get(), setup.endpoint);
}

HttpAnswer FakeWorkerHost::Get(const std::string& url, int /*receive_timeout_ms*/) {
  HttpAnswer answer;
  answer.body = Download(url);
  answer.complete = !answer.body.empty();  // the empty text is a failed request
  return answer;
}

HttpAnswer FakeWorkerHost::Post(const std::string& /*url*/,
                                const std::vector<std::string>& /*headers*/,
                                const std::string& /*body*/, int /*receive_timeout_ms*/) {
  return HttpAnswer();
}

HttpAnswer FakeWorkerHost::GetWithHeaders(const std::string& url,
                                          const std::vector<std::string>& headers,
                                          int receive_timeout_ms) {
  {
    std::lock_guard lock(mutex_);
    sent_headers_.push_back(headers);
  }
  HttpAnswer answer = Get(url, receive_timeout_ms);
  if (!answer.body.empty()) answer.status = 200;
  return answer;
}

std::vector<std::vector<std::string>> FakeWorkerHost::SentHeaders() const {
  std::lock_guard lock(mutex_);
  return sent_headers_;
}

void FakeWorkerHost::AnswerUrl(const std::string& url, const std::string& body) {
  std::lock_guard lock(mutex_);
  by_url_[url] = body;
}

void FakeWorkerHost::AnswerNext(const std::string& body) {
  std::lock_guard lock(mutex_);
  queued_.push_back(body);
}

void FakeWorkerHost::ThrowOnNextDownload() {
  std::lock_guard lock(mutex_);
  ++throws_pending_;
}

void FakeWorkerHost::AnswerQuestions(std::vector<int> answers) {
  std::lock_guard lock(mutex_);
  answers_.assign(answers.begin(), answers.end());
}

void FakeWorkerHost::OnDownload(std::function<void(const std::string&)> hook) {
  std::lock_guard lock(mutex_);
  on_download_ = std::move(hook);
}

void FakeWorkerHost::SetCredentials(const Credentials& credentials) {
  credentials_.Set(credentials);
}

void FakeWorkerHost::SetEndpoint(const std::string& endpoint) {
  std::lock_guard lock(mutex_);
  endpoint_ = endpoint;
}

std::vector<FakeWorkerHost::Event> FakeWorkerHost::Events() const {
  std::lock_guard lock(mutex_);
  return events_;
}

std::vector<std::string> FakeWorkerHost::Texts(Event::Kind kind) const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> texts;
  for (const Event& e : events_) {
    if (e.kind == kind) texts.push_back(e.text);
  }
  return texts;
}

std::vector<std::string> FakeWorkerHost::Downloads() const { return Texts(Event::Kind::kDownload); }
std::vector<std::string> FakeWorkerHost::Messages() const { return Texts(Event::Kind::kMessage); }
std::vector<std::string> FakeWorkerHost::Questions() const { return Texts(Event::Kind::kQuestion); }

std::vector<int> FakeWorkerHost::Pauses() const {
  std::lock_guard lock(mutex_);
  std::vector<int> pauses;
  for (const Event& e : events_) {
    if (e.kind == Event::Kind::kPause) pauses.push_back(e.ms);
  }
  return pauses;
}

int FakeWorkerHost::Steps() const {
  std::lock_guard lock(mutex_);
  int steps = 0;
  for (const Event& e : events_) steps += e.kind == Event::Kind::kStep ? 1 : 0;
  return steps;
}

void FakeWorkerHost::Record(Event event) {
  std::lock_guard lock(mutex_);
  events_.push_back(std::move(event));
}

void FakeWorkerHost::Synchronize(const std::function<void()>& step) {
  Record({Event::Kind::kStep, "", 0});
  in_step_ = true;
  try {
    step();
  } catch (const std::exception& e) {
    Record({Event::Kind::kStepFailed, e.what(), 0});
  }
  in_step_ = false;
}

std::string FakeWorkerHost::Download(const std::string& url) {
  Record({Event::Kind::kDownload, url, 0});
  std::function<void(const std::string&)> hook;
  {
    std::lock_guard lock(mutex_);
    hook = on_download_;
  }
  if (hook) hook(url);
  std::lock_guard lock(mutex_);
  if (throws_pending_ > 0) {
    --throws_pending_;
    throw std::runtime_error("connection reset");
  }
  if (auto it = by_url_.find(url); it != by_url_.end()) return it->second;
  if (queued_.empty()) return std::string();
  std::string body = std::move(queued_.front());
  queued_.pop_front();
  return body;
}

void FakeWorkerHost::ShowMessage(const std::string& text) {
  Record({Event::Kind::kMessage, text, 0});
}

int FakeWorkerHost::AskYesNo(const std::string& text) {
  Record({Event::Kind::kQuestion, text, 0});
  std::lock_guard lock(mutex_);
  if (answers_.empty()) return kResultNo;
  const int answer = answers_.front();
  answers_.pop_front();
  return answer;
}

void FakeWorkerHost::Pause(int ms) { Record({Event::Kind::kPause, "", ms}); }

GridWritesWatch::GridWritesWatch(const FakeWorkerHost& host, ResultGridModel& grid)
    : host_(host), grid_(grid) {
  grid_.SetListener(this);
}

GridWritesWatch::~GridWritesWatch() { grid_.SetListener(nullptr); }

namespace {

// The few characters a JSON string must escape; enough for test titles and links.
std::string JsonEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out;
}

std::string DisplayLink(const std::string& link) {
  const size_t scheme = link.find("://");
  const size_t from = scheme == std::string::npos ? 0 : scheme + 3;
  const size_t to = link.find('/', from);
  return link.substr(from, to == std::string::npos ? std::string::npos : to - from);
}

}  // namespace

std::string SearchAnswer(const std::string& total, const std::vector<FakeResult>& results,
                         bool with_items) {
  std::string body =
      "{\n"
      "  \"kind\": \"customsearch#search\",\n"
      "  \"url\": {\n"
      "    \"type\": \"application/json\",\n"
      "    \"template\": \"https://www.googleapis.com/customsearch/v1?q={searchTerms}&num="
      "{count?}&start={startIndex?}&lr={language?}&safe={safe?}&cx={cx?}&sort={sort?}&filter="
      "{filter?}&gl={gl?}&cr={cr?}&googlehost={googleHost?}&c2coff={disableCnTwTranslation?}&hq="
      "{hq?}&hl={hl?}&siteSearch={siteSearch?}&siteSearchFilter={siteSearchFilter?}&exactTerms="
      "{exactTerms?}&excludeTerms={excludeTerms?}&linkSite={linkSite?}&orTerms={orTerms?}&"
      "relatedSite={relatedSite?}&dateRestrict={dateRestrict?}&lowRange={lowRange?}&highRange="
      "{highRange?}&searchType={searchType}&fileType={fileType?}&rights={rights?}&imgSize="
      "{imgSize?}&imgType={imgType?}&imgColorType={imgColorType?}&imgDominantColor="
      "{imgDominantColor?}&alt=json\"\n"
      "  },\n"
      "  \"queries\": {\n"
      "    \"request\": [\n"
      "      {\n"
      "        \"title\": \"Google Custom Search - query\",\n"
      "        \"totalResults\": \"" +
      total +
      "\",\n"
      "        \"searchTerms\": \"query\",\n"
      "        \"count\": 10,\n"
      "        \"startIndex\": 1,\n"
      "        \"language\": \"lang_en\",\n"
      "        \"inputEncoding\": \"utf8\",\n"
      "        \"outputEncoding\": \"utf8\",\n"
      "        \"safe\": \"off\",\n"
      "        \"cx\": \"test-engine\",\n"
      "        \"hl\": \"EN\"\n"
      "      }\n"
      "    ]\n"
      "  },\n"
      "  \"context\": {\n"
      "    \"title\": \"Kelvaro test engine\"\n"
      "  },\n"
      "  \"searchInformation\": {\n"
      "    \"searchTime\": 0.412803,\n"
      "    \"formattedSearchTime\": \"0.41\",\n"
      "    \"totalResults\": \"" +
      total +
      "\",\n"
      "    \"formattedTotalResults\": \"" +
      total +
      "\"\n"
      "  }";
  if (with_items) {
    body += ",\n  \"items\": [";
    for (size_t i = 0; i < results.size(); ++i) {
      const std::string title = JsonEscape(results[i].title);
      const std::string link = JsonEscape(results[i].link);
      const std::string display = JsonEscape(DisplayLink(results[i].link));
      body += std::string(i == 0 ? "\n" : ",\n") +
              "    {\n"
              "      \"kind\": \"customsearch#result\",\n"
              "      \"title\": \"" +
              title +
              "\",\n"
              "      \"htmlTitle\": \"<b>" +
              title +
              "</b>\",\n"
              "      \"link\": \"" +
              link +
              "\",\n"
              "      \"displayLink\": \"" +
              display +
              "\",\n"
              "      \"snippet\": \"A page about " +
              title +
              ".\",\n"
              "      \"htmlSnippet\": \"A page about <b>" +
              title +
              "</b>.\",\n"
              "      \"formattedUrl\": \"" +
              link +
              "\",\n"
              "      \"htmlFormattedUrl\": \"" +
              link +
              "\",\n"
              "      \"pagemap\": {\n"
              "        \"metatags\": [\n"
              "          {\n"
              "            \"og:title\": \"" +
              title +
              "\",\n"
              "            \"viewport\": \"width=device-width, initial-scale=1\"\n"
              "          }\n"
              "        ]\n"
              "      }\n"
              "    }";
    }
    body += results.empty() ? "]\n" : "\n  ]\n";
  } else {
    body += "\n";
  }
  body += "}\n";
  return body;
}

std::string ErrorAnswer(int code, const std::string& message) {
  const std::string status = code == 429   ? "RESOURCE_EXHAUSTED"
                             : code == 403 ? "PERMISSION_DENIED"
                                           : "INVALID_ARGUMENT";
  return "{\n"
         "  \"error\": {\n"
         "    \"code\": " +
         std::to_string(code) +
         ",\n"
         "    \"message\": \"" +
         JsonEscape(message) +
         "\",\n"
         "    \"errors\": [\n"
         "      {\n"
         "        \"message\": \"" +
         JsonEscape(message) +
         "\",\n"
         "        \"domain\": \"global\",\n"
         "        \"reason\": \"badRequest\"\n"
         "      }\n"
         "    ],\n"
         "    \"status\": \"" +
         status +
         "\"\n"
         "  }\n"
         "}\n";
}

std::string GridText(const ResultGridModel& grid) {
  std::string text;
  for (int row = 0; row < grid.RowCount(); ++row) {
    for (int col = 0; col < grid.ColCount(); ++col) text += grid.Cells(col, row) + '|';
    text += '\n';
  }
  return text;
}

}  // namespace kelvaro::testing
