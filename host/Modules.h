// The one list of command families: every runner registers exactly these.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace ruk {

struct FamilyContext;
class Engine;

// One entry per family: the words it answers to (separated by blanks; the
// list is for people and for the check that every runner has the same
// families) and the one function that registers it.
struct FamilyModule {
    std::string_view words;
    void (*register_family)(FamilyContext& context);
};

// Every family, language keywords first.
std::span<const FamilyModule> family_modules();

// Registers every family of the list with the context's engine.
void register_families(FamilyContext& context);

// The words registered with an engine, sorted: what a runner really offers.
std::vector<std::string> registered_words(const Engine& engine);

} // namespace ruk
