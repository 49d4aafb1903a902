#include "Commands.h"

#include "BasicSuite.h"
#include "PluginLibrary.h"
#include "ResultCodes.h"

#include <iostream>
#include <memory>

namespace host {

int RunAbout(const std::filesystem::path& pluginPath) {
    try {
        PluginLibrary plugin(pluginPath);
        AboutRecord about{nullptr, suites::Basic()};
        const int16_t result = plugin.Call(exportSelectorAbout, &about);
        if (result != exportNoErr) {
            std::cerr << "quenfield-export: the About box failed: " << DescribeResult(result) << " ("
                      << result << ")\n";
            return 1;
        }
        return 0;
    } catch (const PluginLoadError& e) {
        std::cerr << "quenfield-export: " << e.what() << '\n';
        return 1;
    }
}

} // namespace host
