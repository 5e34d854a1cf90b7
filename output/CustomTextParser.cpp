#include "output/CustomTextParser.h"

#include "hostlink/HostCommands.h"

namespace dz {

TCustomTextParser::~TCustomTextParser() = default;

TJSONImport& TCustomTextParser::Json() {
  if (!json_) json_ = std::make_unique<TJSONImport>();
  return *json_;
}

bool TCustomTextParser::Send() {
  const std::string text = Json().GenerateAndDiscard();
  return WriteIPCValueASync(text, RequestIndex(), CommandName());
}

bool TCustomTextParser::Run(const std::string& description) {
  auto lock = TJSON::DocumentLock();
  // Whatever an earlier run left behind (it cannot, but a stale part must never travel).
  TJSON::Discard();
  try {
    Fill(description);
  } catch (...) {
    TJSON::Discard();
    throw;
  }
  return Send();
}

}  // namespace dz
