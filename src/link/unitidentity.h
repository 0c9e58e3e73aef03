#pragma once

#include "protocol/modbusreply.h"

#include <QString>

// The transmitter a session talks to, as its device information describes it.
struct UnitIdentity
{
    bool known = false; // a whole device-information reply has been read
    int address = 0;
    int baudRate = 0;     // the rate it answered at
    quint16 baudCode = 0; // the rate code it reports
    quint16 deviceType = 0;
    quint16 sensorType = 0;
    quint16 firmware = 0;
    QString serial;

    // Another transmitter than this one: its serial number or its device type differs.
    bool isOtherUnit(const UnitIdentity &other) const;
    // "serial 123456789abc, Tervin-C"
    QString label() const;
};

// The unit a device-information reply describes, heard at this rate; unknown when the reply does
// not carry every register.
UnitIdentity identityFrom(const ModbusReply::DeviceFields &fields, int baudRate);

// A setting written to the device: it is verified where the device now listens.
struct SettingChange
{
    enum Kind { Address, BaudRate };
    Kind kind = Address;
    int value = 0;    // the new address, or the new rate in bit/s
    quint8 slave = 0; // where the device is read back: the new address, or the slave written to
};

// How the read-back after a change came out.
struct Verification
{
    enum Outcome {
        Verified,
        NoAnswer,   // nothing, or nothing intelligible, at the new place
        Refused,    // an exception reply
        OtherValue, // the device answers but reports another value than the one written
        OtherUnit,  // another transmitter answered
    };
    SettingChange change;
    Outcome outcome = NoAnswer;
    int reported = 0;           // OtherValue: the address or rate the device reports
    int at = 0;                 // the address that answered the read-back (0: none did)
    UnitIdentity unit;          // what answered
    ModbusReply::Decoded reply; // its device information

    bool verified() const { return outcome == Verified; }
    // Why the change is not verified, naming both values where there are two: "the device
    // reports address 5, not 42".
    QString reason() const;
};

// The one rule for both programs: the device read back at the new place must report the value
// written, and be the unit it was before.
Verification verifyChange(const SettingChange &change, const UnitIdentity &before,
                          const UnitIdentity &answered);
