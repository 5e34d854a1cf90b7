#pragma once
// A scripted host that answers commands: each request's "COMMAND" and "DATA" (8-bit text)
// go to a handler whose return value is sent back as the reply's "DATA".

#include <functional>
#include <string>

#include "tests/support/ScriptedServer.h"

namespace dz::test {

using CommandHandler =
    std::function<std::string(const std::string& command, const std::string& data)>;

ScriptedServer::Script CommandScript(CommandHandler handler);

}  // namespace dz::test
