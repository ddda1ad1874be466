#include "monitor/console.hpp"
#include "monitor/monitor.hpp"

int main()
{
    cosmac::StandardConsole console;
    return cosmac::run_monitor(console);
}
