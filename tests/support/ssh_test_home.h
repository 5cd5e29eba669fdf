// What the SSH tests share: one loopback sshd for the whole test program (started on first use), and
// a home folder of the test's own as $HOME, with an empty .ssh/ and no SSH agent, so that nothing of
// the person's own keys, known hosts or configuration takes part.
#pragma once

#include <optional>
#include <string>

#include "support/loopback_sshd.h"
#include "support/temp_tree.h"

namespace twinfol::test {

// The server every SSH test of this program talks to; started once, stopped when the program ends.
LoopbackSshd& SharedLoopbackSshd();

class SshTestHome {
public:
    SshTestHome();
    ~SshTestHome();
    SshTestHome(const SshTestHome&) = delete;
    SshTestHome& operator=(const SshTestHome&) = delete;

    // The home folder, without a trailing separator, as $HOME holds it.
    std::string Folder() const;
    // The home's .ssh/ folder, ending with the separator.
    std::string SshFolder() const { return Folder() + "/.ssh/"; }
    // Records the server's host key in known_hosts, as "ssh" would after a Yes.
    void KnowServerKey(const LoopbackSshd& server) const;
    // Records a key that is not the server's for it: what a replaced server looks like.
    void KnowOtherKeyForServer(const LoopbackSshd& server) const;
    // Puts the server's user key where the default key files are looked for.
    void InstallDefaultKey(const LoopbackSshd& server) const;
    void WriteConfig(const std::string& text) const;

private:
    void AppendKnownHost(const LoopbackSshd& server, const std::string& publicKeyFile) const;

    TempTree tree_;
    std::optional<std::string> oldHome_;
    std::optional<std::string> oldAgent_;
};

// What a command wrote to its standard output.
std::string CommandOutput(const std::string& command);
// The SHA256 fingerprint of a public key file, as ssh-keygen -l shows it.
std::string KeyFingerprint(const std::string& publicKeyFile);

} // namespace twinfol::test
