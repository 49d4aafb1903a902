// quenfield-export: runs an export plug-in on image files the way an image editor would.
#include "Commands.h"
#include "OpenImage.h"
#include "ValidateCommand.h"

#include <CLI/CLI.hpp>

#include <unistd.h>

#include <cstdlib>
#include <iostream>
#include <system_error>

namespace host {

std::filesystem::path DefaultPluginPath() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::filesystem::path folder = error ? std::filesystem::current_path() : self.parent_path();
    const std::filesystem::path beside = folder / "QuenfieldExport.so";
    if (std::filesystem::exists(beside, error)) {
        return beside;
    }
    return (folder / QUENFIELD_PLUGIN_DIR_FROM_BIN / "QuenfieldExport.so").lexically_normal();
}

} // namespace host

namespace {

// A file whose name begins with - reads as an unknown option; when it is a file, say how to name it.
void HintAtDashDash(const CLI::ParseError& error) {
    const auto* extras = dynamic_cast<const CLI::ExtrasError*>(&error);
    const std::string text = error.what();
    const std::string lead = "The following argument was not expected: ";
    if (extras == nullptr || text.compare(0, lead.size(), lead) != 0) {
        return;
    }
    const std::string argument = text.substr(lead.size());
    std::error_code missing;
    if (!argument.empty() && argument[0] == '-' && std::filesystem::exists(argument, missing)) {
        std::cerr << "To export the file " << argument << ", put -- before it: quenfield-export -- "
                  << argument << "\n";
    }
}

} // namespace

int main(int argc, char** argv) {
    CLI::App app{
        "Exports image files (TIFF, PNG, JPEG, OpenEXR) through an export plug-in, playing the part of the "
        "image editor: the plug-in writes each image as PPM or PFM and hands it to its companion "
        "application.",
        "quenfield-export"};
    app.set_version_flag("--version", "quenfield-export " QUENFIELD_VERSION);
    std::string plugin = host::DefaultPluginPath().string();
    app.add_option("--plugin", plugin, "The export plug-in module to load")->capture_default_str();
    std::vector<std::string> images;
    app.add_option("IMAGE", images, "Image files to export, one after the other");
    uint32_t page = 1;
    app.add_option("--page", page, "Which page of a multi-page TIFF to export, counted from 1")
        ->check(CLI::Validator(
            [](std::string& value) {
                char* end = nullptr;
                const unsigned long number = std::strtoul(value.c_str(), &end, 10);
                const bool whole = !value.empty() && *end == '\0' && value[0] != '-';
                return whole && number > 0 ? std::string()
                                           : value + " is not a page number; pages are counted from 1";
            },
            "N"))
        ->capture_default_str();
    uint64_t memoryLimit = host::kDefaultMemoryLimit;
    app.add_option("--memory-limit", memoryLimit,
                   "Most memory the host may take to decode an image that cannot be read row by row (an "
                   "interlaced PNG, a progressive JPEG) or whose blocks are very wide (OpenEXR); larger ones "
                   "are refused. In bytes, or with a unit: 512M, 4G (default 1G)")
        ->transform(CLI::AsSizeValue(false).description(""))
        ->type_name("SIZE");
    CLI::App* about = app.add_subcommand("about", "Show the plug-in's About box");
    std::string companion = host::DefaultCompanionPath().string();
    CLI::App* registerCompanion = app.add_subcommand(
        "register", "Register the companion application for you, so that the plug-in can start it (a desktop "
                    "entry in ~/.local/share/applications, or in $XDG_DATA_HOME/applications)");
    registerCompanion->add_option("--companion", companion, "The companion program to register")
        ->capture_default_str();
    CLI::App* unregisterCompanion =
        app.add_subcommand("unregister", "Remove the desktop entry that 'register' wrote");
    validate::ValidateOptions checks;
    CLI::App* validate = app.add_subcommand(
        "validate",
        "Check the plug-in against the host protocol: each check in a process of its own with a time "
        "limit; exit status 1 when any check failed or crashed");
    validate->add_option("--plugin", plugin, "The export plug-in module to check")->capture_default_str();
    validate->add_flag("--list", checks.list, "Name and describe the checks instead of running them");
    validate->add_flag("--in-process", checks.inProcess,
                       "Run every check in this process, for a debugger: a crash ends the run, the plug-in's "
                       "dialogs wait for a key on a terminal, and a check that needs a process of its own is "
                       "skipped");
    validate->add_option("--json", checks.json, "Also write the results as JSON to this file");
    validate->add_option("--junit", checks.junit, "Also write the results as JUnit XML to this file");
    std::string level = "recommended";
    validate
        ->add_option("--level", level,
                     "The checks to run: contract (what the interface requires), recommended (also good "
                     "practice) or reference (also this project's own plug-in's choices)")
        ->check(CLI::IsMember({"contract", "recommended", "reference"}))
        ->capture_default_str();
    validate
        ->add_option("-j,--jobs", checks.jobs,
                     "Checks to run at once, each in its own process (default: "
                     "one per processor)")
        ->check(CLI::PositiveNumber);
    validate
        ->add_option(
            "--fuzz", checks.fuzzSeconds,
            "Instead of the checks, play random host sessions against the plug-in for this many "
            "seconds; every failing case is printed with its seed and the command that plays it again")
        ->check(CLI::PositiveNumber);
    validate->add_option("--reproduce", checks.reproduce, "Play the fuzz case of this seed again");
    validate->add_option(
        "--seed", checks.seed,
        "Seed of the documents' samples, or of the fuzz run (default: a random one, printed)");
    validate
        ->add_option("--timeout", checks.timeoutSeconds, "Time limit of each check, or fuzz case, in seconds")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    validate->add_option("--check", checks.checks,
                         "Run only the checks these names or glob patterns match (quote the patterns)");
    validate->add_option("--skip", checks.skip, "Leave out the checks these names or glob patterns match");
    validate->add_option("--repeat", checks.repeat, "Run every check this many times")
        ->check(CLI::PositiveNumber)
        ->capture_default_str();
    validate->add_flag("--shuffle", checks.shuffle, "Run the checks in an order drawn from the seed");
    app.require_subcommand(0, 1);
    app.footer(
        "A file whose name begins with - follows --, as in: quenfield-export -- -photo.jpg\n"
        "Ctrl-C (or SIGTERM, SIGHUP) stops the export under way, removes its unfinished file and skips "
        "the rest.\n"
        "Exit status: 0 when every image was exported and handed to the companion application, 1 "
        "otherwise, 2 for a wrong command line, 130 after Ctrl-C (143 after SIGTERM, 129 after "
        "SIGHUP).");

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        const int status = app.exit(e) == 0 ? 0 : 2;
        HintAtDashDash(e);
        return status;
    }
    if (about->parsed()) {
        return host::RunAbout(plugin);
    }
    if (registerCompanion->parsed()) {
        return host::RunRegister(companion);
    }
    if (unregisterCompanion->parsed()) {
        return host::RunUnregister();
    }
    if (validate->parsed()) {
        checks.plugin = plugin;
        checks.version = QUENFIELD_VERSION;
        checks.level = *validate::ParseLevel(level);
        return validate::RunValidate(checks);
    }
    if (images.empty()) {
        std::cerr << "quenfield-export: no image given; see quenfield-export --help\n";
        return 2;
    }
    return host::RunExport(plugin, images, {page, memoryLimit});
}
