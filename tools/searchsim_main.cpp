// kelvaro-searchsim: runs the substitute search service on its own until interrupted, for
// trying the program or a script against a local endpoint.

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "tools/SubstituteSearchServer.h"

namespace {

void PrintUsage() {
  std::puts(
      "usage: kelvaro-searchsim [--port N] [--key KEY] [--cx CODE] [--quota N]\n"
      "Answers GET /customsearch/v1 on 127.0.0.1 like the custom-search API.\n"
      "  --port N    port to listen on (default: a free one, printed at start)\n"
      "  --key KEY   the API key it accepts (default demo-key)\n"
      "  --cx CODE   the engine code it accepts (default demo-cx)\n"
      "  --quota N   queries per day before it answers 429 (default: no limit)");
}

}  // namespace

int main(int argc, char** argv) {
  kelvaro::searchsim::SubstituteSearchServerConfig config;
  for (int i = 1; i < argc; ++i) {
    const std::string option = argv[i];
    if (option == "--help" || option == "-h") {
      PrintUsage();
      return 0;
    }
    if (i + 1 >= argc) {
      PrintUsage();
      return 2;
    }
    const std::string value = argv[++i];
    if (option == "--port") {
      config.port = std::atoi(value.c_str());
    } else if (option == "--key") {
      config.api_key = value;
    } else if (option == "--cx") {
      config.engine_code = value;
    } else if (option == "--quota") {
      config.daily_quota = std::atoll(value.c_str());
    } else {
      PrintUsage();
      return 2;
    }
  }

  // Block the stop signals before the service starts its threads, so that they inherit the
  // mask and sigwait below receives the signal.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  try {
    kelvaro::searchsim::SubstituteSearchServer service(config);
    std::printf("kelvaro-searchsim listening on %s (key \"%s\", engine code \"%s\")\n",
                service.Endpoint().c_str(), config.api_key.c_str(), config.engine_code.c_str());
    std::fflush(stdout);
    int signal_number = 0;
    sigwait(&stop_signals, &signal_number);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "kelvaro-searchsim: %s\n", error.what());
    return 1;
  }
  return 0;
}
