#include "output/JSON.h"

#include <memory>

namespace dz {

namespace {

struct Document {
  TMVJSON root;
  TMVJSON* order = nullptr;
  TMVSONList* parts = nullptr;
  TMVJSON* current = nullptr;

  Document() {
    order = &root.PutList("Order").AddObject();
    parts = &order->PutList("Parts");
    order->PutList("Adress").AddObject();
  }
};

std::unique_ptr<Document>& Held() {
  static std::unique_ptr<Document> held;
  return held;
}

Document& Doc() {
  auto& held = Held();
  if (!held) held = std::make_unique<Document>();
  return *held;
}

}  // namespace

std::unique_lock<std::mutex> TJSON::DocumentLock() {
  static std::mutex m;
  return std::unique_lock<std::mutex>(m);
}

TMVJSON& TJSON::Root() {
  return Doc().root;
}

TMVJSON& TJSON::Order() {
  return *Doc().order;
}

TMVSONList& TJSON::Parts() {
  return *Doc().parts;
}

TMVJSON& TJSON::BeginPart() {
  Document& d = Doc();
  d.current = &d.parts->AddObject();
  return *d.current;
}

void TJSON::PutPartString(std::string_view name, std::string_view text) {
  Document& d = Doc();
  if (d.current) d.current->PutString(name, text);
}

std::string TJSON::GenerateAndDiscard() {
  struct DiscardOnExit {
    ~DiscardOnExit() { Discard(); }
  } discard;
  return GenerateJsonText(Root());
}

void TJSON::Discard() {
  Held().reset();
}

bool TJSON::HasDocument() {
  return Held() != nullptr;
}

}  // namespace dz
