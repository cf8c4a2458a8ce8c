// The traffic counters that the panel shows (one owner): revertives sent,
// network status answers among them; router commands received; level
// commands sent. Each wraps round past its largest value.
#pragma once

struct TrafficCounters {
    long lRevertivesSent;
    long lCommandsReceived;
    long lDriverMessagesSent;
};

const TrafficCounters& Counters();

void CountRevertiveSent();
void CountCommandReceived();
void CountDriverMessageSent();
// A new panel starts them from 0.
void ResetCounters();
