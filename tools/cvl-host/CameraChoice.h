#pragma once

#include <string>
#include <utility>

#include "tools/cvl-host/HostSession.h"

// Choosing and opening the camera configuration a command works on. Failures
// throw ToolError with ExitCode::kCamera.

// The camera's part of a host name: the text before its last point.
std::string CameraPart(const std::string& name);

// The error text when discovery found no camera.
std::string NoCameraFound();

// A discovered camera's name with the model and MAC address it is made of
// (the model, " - ", the MAC address's six bytes from last to first); a name
// of another form alone. The driver's entry points do not tell a camera's IP
// address.
std::string DescribeCamera(const std::string& camera);

// `requested`, or the first configuration the driver offers.
std::string ChooseCamera(HostLibrary& driver, const std::string& requested);

// Whether the driver offers the camera of host name `name`: the text before
// its last point matches that of an offered name, without regard to case,
// as the driver matches them (any image name after the point is accepted).
// Asking searches the network, after which the driver no longer opens
// cameras by address: ask only about names that are not addresses.
bool IsOffered(HostLibrary& driver, const std::string& name);

// A name of the form ADDRESS.N, which opens a camera by its IPv4 address.
bool IsAddressName(const std::string& name);

// The error for a name the driver does not offer: the names it does offer,
// and how a camera by address is named.
[[noreturn]] void ThrowNotOffered(HostLibrary& driver, const std::string& name);

// Opens `camera` on `port` and installs the completion callback; returns the
// image's width and height. A failure names the camera and port with the
// warning and error lines the driver logged, or, for a name it does not
// offer, the names it does.
std::pair<int, int> OpenPort(HostSession& session, const std::string& camera, int port);

// Closes a port the command opened when the command ends, also by an error.
class ScopedPort {
  public:
    ScopedPort(HostLibrary& driver, int port) : driver_(driver), port_(port) {}
    ~ScopedPort() { driver_.closeCVLPort(0, port_); }

    ScopedPort(const ScopedPort&) = delete;
    ScopedPort& operator=(const ScopedPort&) = delete;

  private:
    HostLibrary& driver_;
    int port_;
};
