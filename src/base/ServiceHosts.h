#pragma once

#include <QString>

// Host names of the services the program talks to. Built-in defaults, overridden by the
// "Hosts" section of the INI file named by QUILLBROOK_SERVICES (a value may carry ":port").
struct ServiceHosts
{
    QString SoundCloudWeb;
    QString SoundCloudApi;
    QString YouTube;
    QString YouTubeShort;
    QString Maker;

    // "http://" + Maker + path, for the maker's pages.
    QString makerPage(const QString& path) const;
};

// Reads the configuration once; later calls return the same hosts.
const ServiceHosts& Hosts();

// Replaces the hosts for the rest of the run. For tests and embedders whose services only
// get a port at run time; call it before any worker starts.
void OverrideServiceHosts(const ServiceHosts& hosts);

// Builds the hosts from the defaults and an optional INI file (used by Hosts() and tests).
ServiceHosts LoadServiceHosts(const QString& iniPath);
