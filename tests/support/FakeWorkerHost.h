#pragma once

#include <atomic>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "base/ApiCredentials.h"
#include "base/WorkerHost.h"
#include "grid/ResultGridModel.h"
#include "search/SearchSession.h"
#include "web/HttpClient.h"

namespace kelvaro::testing {

// A WorkerHost without threads, network or time: steps run inline on the calling thread,
// answers come from a script, and everything the worker asks for is recorded in order. A
// step that throws is recorded (kStepFailed) and the worker goes on, as with a window. It is
// also the HTTP client of the run's search session (Search()), so one object scripts both
// doors of a worker.
class FakeWorkerHost : public WorkerHost, public HttpClient {
 public:
  // One thing the worker did, in the order it happened.
  struct Event {
    enum class Kind { kStep, kStepFailed, kDownload, kPause, kMessage, kQuestion };
    Kind kind;
    std::string text;  // the URL, message, question or a failed step's error; else empty
    int ms = 0;        // the pause
  };

  FakeWorkerHost();

  // Answers. A URL given to AnswerUrl gets that answer every time; any other URL takes
  // the next answer queued with AnswerNext, and the empty text (a failed request) once
  // the queue is empty.
  void AnswerUrl(const std::string& url, const std::string& body);
  void AnswerNext(const std::string& body);
  // Makes the next Download throw instead of answering (once per call).
  void ThrowOnNextDownload();
  // Answers for AskYesNo, in order; kResultNo once they run out.
  void AnswerQuestions(std::vector<int> answers);
  // Called with the URL on every Download, before it answers (to press Stop, change the
  // credentials, ... at a chosen request).
  void OnDownload(std::function<void(const std::string& url)> hook);
  void SetCredentials(const Credentials& credentials);
  void SetEndpoint(const std::string& endpoint);

  // What was recorded.
  std::vector<Event> Events() const;
  std::vector<std::string> Downloads() const;
  std::vector<int> Pauses() const;
  std::vector<std::string> Messages() const;
  std::vector<std::string> Questions() const;
  int Steps() const;
  // True while a step runs (what the window's GUI thread would be doing).
  bool InStep() const { return in_step_; }

  // What a worker's search session is made with: these credentials, this endpoint and this
  // object as the HTTP client.
  SearchSetup Search() const;
  Credentials CurrentCredentials() const { return credentials_.Get(); }
  std::string Endpoint() const;

  // The scripted answer to a GET of `url` (recorded as a download).
  virtual std::string Download(const std::string& url);
  // HttpClient: the body of Download, whole when not empty; a POST gets an empty answer.
  HttpAnswer Get(const std::string& url, int receive_timeout_ms) override;
  HttpAnswer Post(const std::string& url, const std::vector<std::string>& headers,
                  const std::string& body, int receive_timeout_ms) override;
  // A GET with headers: recorded as a download (and its headers kept), answered as Get with
  // status 200 when the scripted body is not empty.
  HttpAnswer GetWithHeaders(const std::string& url, const std::vector<std::string>& headers,
                            int receive_timeout_ms) override;
  // The headers of every GetWithHeaders, in order.
  std::vector<std::vector<std::string>> SentHeaders() const;

  void Synchronize(const std::function<void()>& step) override;
  void ShowMessage(const std::string& text) override;
  int AskYesNo(const std::string& text) override;
  void Pause(int ms) override;

 private:
  std::vector<std::string> Texts(Event::Kind kind) const;
  void Record(Event event);

  mutable std::mutex mutex_;
  std::map<std::string, std::string> by_url_;
  std::deque<std::string> queued_;
  int throws_pending_ = 0;
  std::deque<int> answers_;
  std::function<void(const std::string&)> on_download_;
  ApiCredentials credentials_;
  std::string endpoint_;
  std::vector<Event> events_;
  std::vector<std::vector<std::string>> sent_headers_;
  std::atomic<bool> in_step_{false};
};

// Every cell of `grid`, each followed by "|", a row a line.
std::string GridText(const ResultGridModel& grid);

// The settings a request made now through `host`'s session goes with.
Credentials RequestSettings(const FakeWorkerHost& host);

// Counts what a grid is told about its changes, inside and outside `host`'s steps: a
// worker changes its grid only inside steps, which a window runs on the GUI thread.
class GridWritesWatch : public ResultGridListener {
 public:
  GridWritesWatch(const FakeWorkerHost& host, ResultGridModel& grid);
  ~GridWritesWatch() override;
  int Inside() const { return inside_; }
  int Outside() const { return outside_; }

  void CellChanged(int, int) override { Note(); }
  void BeforeRowsInserted(int, int) override { Note(); }
  void BeforeRowsRemoved(int, int) override { Note(); }
  void BeforeReset() override { Note(); }
  void ColumnWidthChanged(int) override { Note(); }

 private:
  void Note() { ++(host_.InStep() ? inside_ : outside_); }

  const FakeWorkerHost& host_;
  ResultGridModel& grid_;
  int inside_ = 0;
  int outside_ = 0;
};

// The body of a successful Custom Search answer in the API's own layout, pretty-printed:
// the query echo, "searchInformation" with `total` as "totalResults", and, unless
// `with_items` is false, an "items" list with one entry per result (with "htmlTitle",
// "displayLink", "formattedUrl" and a "pagemap" like the real service sends).
struct FakeResult {
  std::string title;
  std::string link;
};
std::string SearchAnswer(const std::string& total, const std::vector<FakeResult>& results = {},
                         bool with_items = true);
// The body of a failed request (HTTP 400/403/429), carrying `message`.
std::string ErrorAnswer(int code, const std::string& message);

}  // namespace kelvaro::testing
