// Prints the computer name through the installed library, as the CLI does.
#include <velmora/clsTarsin.h>

#include <iostream>
#include <string>

int main() {
    velmora::clsTarsin tarsin;
    const std::u16string name = tarsin.GetComputerName();
    std::string ascii;
    for (char16_t c : name) ascii += c < 0x80 ? static_cast<char>(c) : '?';
    std::cout << ascii << '\n';
    return name.empty() ? 1 : 0;
}
