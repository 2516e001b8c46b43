// SPDX-License-Identifier: GPL-3.0-or-later
#include "airlines.h"

#include "textutil.h"

#include <QHash>

using namespace Qt::StringLiterals;

namespace {

const QHash<QString, QString> &table()
{
    // A function-local static is built exactly once, even when two threads ask first.
    static const QHash<QString, QString> byDesignator = [] {
        const auto &list = Airlines::entries();
        QHash<QString, QString> hash;
        hash.reserve(list.size());
        for (const auto &[designator, name] : list)
            hash.insert(designator, name);
        return hash;
    }();
    return byDesignator;
}

// Callsigns arrive padded with spaces (the feed pads them to eight characters) and now and
// then with tabs; line breaks are not padding and stay.
QString normalised(const QString &callsign)
{
    return TextUtil::trimSpacesAndTabs(callsign).toUpper();
}

bool looksLikeAirline(QStringView callsign)
{
    return callsign.size() >= 4 && callsign.at(0).isLetter() && callsign.at(1).isLetter()
        && callsign.at(2).isLetter() && callsign.at(3).isNumber();
}

} // namespace

namespace Airlines {

const QList<std::pair<QString, QString>> &entries()
{
    static const QList<std::pair<QString, QString>> list {
        { u"AAL"_s, u"American Airlines"_s },
        { u"DAL"_s, u"Delta Air Lines"_s },
        { u"UAL"_s, u"United Airlines"_s },
        { u"SWA"_s, u"Southwest Airlines"_s },
        { u"ASA"_s, u"Alaska Airlines"_s },
        { u"JBU"_s, u"JetBlue Airways"_s },
        { u"NKS"_s, u"Spirit Airlines"_s },
        { u"FFT"_s, u"Frontier Airlines"_s },
        { u"AAY"_s, u"Allegiant Air"_s },
        { u"HAL"_s, u"Hawaiian Airlines"_s },
        { u"SCX"_s, u"Sun Country Airlines"_s },
        { u"MXY"_s, u"Breeze Airways"_s },
        { u"VXP"_s, u"Avelo Airlines"_s },
        { u"QXE"_s, u"Horizon Air"_s },
        { u"SKW"_s, u"SkyWest Airlines"_s },
        { u"ASH"_s, u"Mesa Airlines"_s },
        { u"ENY"_s, u"Envoy Air"_s },
        { u"RPA"_s, u"Republic Airways"_s },
        { u"EDV"_s, u"Endeavor Air"_s },
        { u"PDT"_s, u"Piedmont Airlines"_s },
        { u"PSA"_s, u"PSA Airlines"_s },
        { u"JIA"_s, u"PSA Airlines"_s },
        { u"GJS"_s, u"GoJet Airlines"_s },
        { u"AWI"_s, u"Air Wisconsin"_s },
        { u"UCA"_s, u"CommuteAir"_s },
        { u"FDX"_s, u"FedEx Express"_s },
        { u"UPS"_s, u"UPS Airlines"_s },
        { u"GTI"_s, u"Atlas Air"_s },
        { u"ABX"_s, u"ABX Air"_s },
        { u"CKS"_s, u"Kalitta Air"_s },
        { u"PAC"_s, u"Polar Air Cargo"_s },
        { u"ATN"_s, u"Air Transport International"_s },
        { u"WGN"_s, u"Western Global Airlines"_s },
        { u"MTN"_s, u"Mountain Air Cargo"_s },
        { u"AMF"_s, u"Ameriflight"_s },
        { u"EJA"_s, u"NetJets"_s },
        { u"LXJ"_s, u"Flexjet"_s },
        { u"XOJ"_s, u"XOJET"_s },
        { u"JTL"_s, u"Jet Linx Aviation"_s },
        { u"ACA"_s, u"Air Canada"_s },
        { u"WJA"_s, u"WestJet"_s },
        { u"JZA"_s, u"Air Canada Jazz"_s },
        { u"POE"_s, u"Porter Airlines"_s },
        { u"TSC"_s, u"Air Transat"_s },
        { u"FLE"_s, u"Flair Airlines"_s },
        { u"AMX"_s, u"Aeroméxico"_s },
        { u"VOI"_s, u"Volaris"_s },
        { u"VIV"_s, u"Viva Aerobus"_s },
        { u"BAW"_s, u"British Airways"_s },
        { u"VIR"_s, u"Virgin Atlantic"_s },
        { u"AFR"_s, u"Air France"_s },
        { u"KLM"_s, u"KLM"_s },
        { u"DLH"_s, u"Lufthansa"_s },
        { u"SWR"_s, u"Swiss International Air Lines"_s },
        { u"AUA"_s, u"Austrian Airlines"_s },
        { u"IBE"_s, u"Iberia"_s },
        { u"EIN"_s, u"Aer Lingus"_s },
        { u"SAS"_s, u"SAS"_s },
        { u"FIN"_s, u"Finnair"_s },
        { u"TAP"_s, u"TAP Air Portugal"_s },
        { u"ITY"_s, u"ITA Airways"_s },
        { u"LOT"_s, u"LOT Polish Airlines"_s },
        { u"THY"_s, u"Turkish Airlines"_s },
        { u"UAE"_s, u"Emirates"_s },
        { u"QTR"_s, u"Qatar Airways"_s },
        { u"ETD"_s, u"Etihad Airways"_s },
        { u"ELY"_s, u"El Al"_s },
        { u"JAL"_s, u"Japan Airlines"_s },
        { u"ANA"_s, u"All Nippon Airways"_s },
        { u"KAL"_s, u"Korean Air"_s },
        { u"AAR"_s, u"Asiana Airlines"_s },
        { u"CPA"_s, u"Cathay Pacific"_s },
        { u"CAL"_s, u"China Airlines"_s },
        { u"EVA"_s, u"EVA Air"_s },
        { u"SIA"_s, u"Singapore Airlines"_s },
        { u"QFA"_s, u"Qantas"_s },
        { u"ANZ"_s, u"Air New Zealand"_s },
        { u"CCA"_s, u"Air China"_s },
        { u"CES"_s, u"China Eastern Airlines"_s },
        { u"CSN"_s, u"China Southern Airlines"_s },
        { u"AIC"_s, u"Air India"_s },
        { u"PAL"_s, u"Philippine Airlines"_s },
        { u"VJC"_s, u"VietJet Air"_s },
        { u"HVN"_s, u"Vietnam Airlines"_s },
        { u"LAN"_s, u"LATAM"_s },
        { u"TAM"_s, u"LATAM Brasil"_s },
        { u"AVA"_s, u"Avianca"_s },
        { u"CMP"_s, u"Copa Airlines"_s },
        { u"GAF"_s, u"German Air Force"_s },
        { u"RCH"_s, u"US Air Mobility Command"_s },
        { u"CFC"_s, u"Canadian Forces"_s },
    };
    return list;
}

bool isAirlineCallsign(const std::optional<QString> &callsign)
{
    if (!callsign)
        return false;
    // Upper-casing ASCII changes neither the length nor what is a letter or a digit, so the
    // usual callsign is checked in place, without the upper-cased copy; the filters ask this
    // of every aircraft on every poll.
    const QStringView trimmed = TextUtil::trimSpacesAndTabs(QStringView(*callsign));
    if (TextUtil::isAscii(trimmed))
        return looksLikeAirline(trimmed);
    return looksLikeAirline(normalised(*callsign));
}

std::optional<QString> name(const std::optional<QString> &callsign)
{
    if (!callsign)
        return std::nullopt;
    const QString cleaned = normalised(*callsign);
    if (!looksLikeAirline(cleaned))
        return std::nullopt;
    const auto &byDesignator = table();
    const auto it = byDesignator.constFind(cleaned.first(3));
    if (it == byDesignator.cend())
        return std::nullopt;
    return *it;
}

} // namespace Airlines
