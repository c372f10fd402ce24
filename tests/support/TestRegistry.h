#pragma once

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

// Every test folder builds one executable; each QtTest class in it registers itself here
// with a label (unit, gui, e2e, stress) so ctest can run the labels as separate entries.
namespace qbtest {

struct RegisteredTest
{
    const char* name;
    const char* label;
    std::function<std::unique_ptr<QObject>()> make;
};

std::vector<RegisteredTest>& registry();

struct Registrar
{
    Registrar(const char* name, const char* label, std::function<std::unique_ptr<QObject>()> make)
    {
        registry().push_back({name, label, std::move(make)});
    }
};

} // namespace qbtest

#define QB_TEST(Class, Label)                                                                      \
    static const qbtest::Registrar qb_registrar_##Class(#Class, Label,                             \
                                                        [] { return std::make_unique<Class>(); })
