#include "network/ZorCarteEth.h"

ZorCarteEth::ZorCarteEth()
    : m_pDatagramSocket(nullptr), m_bDhcp(true), m_iIndex(0), m_bBlackList(false),
      m_bLoopback(false)
{}

// Copies share the socket pointer: only the records of the network object's list own one.
ZorCarteEth::ZorCarteEth(const ZorCarteEth& other) = default;
ZorCarteEth& ZorCarteEth::operator=(const ZorCarteEth& other) = default;

ZorCarteEth::~ZorCarteEth() {}
