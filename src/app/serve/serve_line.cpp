#include "app/serve/serve_line.h"

#include <iostream>

#include "app/serve/serve_until_signalled.h"
#include "store/read_only_store.h"

namespace multitone {

int ServeLine(const server::LinePageConfig& config) {
  // The store is looked at once before listening, so that a wrong URL is
  // said at once; the page opens it again when it is asked.
  try {
    OpenStoreReadOnly(config.results);
  } catch (const StoreError& error) {
    std::cerr << "multitone serve: " << error.what() << '\n';
    return 1;
  }
  const sigset_t signals = BlockStopSignals();

  server::LinePage page(config);
  int port = 0;
  try {
    port = page.Bind();
  } catch (const std::exception& error) {
    std::cerr << "multitone serve: " << error.what() << '\n';
    return 1;
  }
  const std::string& host = config.listen.host;
  std::cout << "multitone serve: line page listening on http://"
            << (host.find(':') == std::string::npos ? host : "[" + host + "]") << ':' << port << "/" << std::endl;
  return ServeUntilSignalled(signals, [&] { return page.Serve(); }, [&] { page.Shutdown(); });
}

}  // namespace multitone
