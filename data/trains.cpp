// data/trains.cpp -- train configurations and assets, in list order.
#include "data/trains.h"

const std::array<uint32_t, 22> TrainListOne = {
    0x3D72571D, 0x515E31ED, 0x10461E19, 0x124A1F89, 0x1C043595, 0x1C9936BB,  //  0 -  5
    0x2D3645FA, 0x57C209C4, 0x35D17C43, 0x3ADC4DA9, 0x41436136, 0x4A73E49C,  //  6 - 11
    0x4C9CCB22, 0x8864D73A, 0x998A0CBC, 0xA91041A2, 0xCA19C62A, 0xD8CF6395,  // 12 - 17
    0xD92B16AE, 0xE16CA3EF, 0xF6AA98F4, 0xFAB2FFB9,                          // 18 - 21
};

const std::array<uint32_t, 27> TrainListTwo = {
    0xC8EF11A0, 0x22C976E4, 0x8C0224C6, 0x4E018632, 0x61EC29C0, 0x39584F5A,  //  0 -  5
    0xECD7E90E, 0xDF86C25A, 0x9A0A187A, 0x29EA09A9, 0x930442EC, 0xF632A662,  //  6 - 11
    0x384E6422, 0x6A80D253, 0xC50FC5D0, 0x4D5B5089, 0x18296CDE, 0x4717D8D8,  // 12 - 17
    0x22250EF5, 0x0F228F06, 0xF1FE5FB8, 0xC27964BE, 0x7F4258C9, 0x1C8D173A,  // 18 - 23
    0xEE645446, 0x055BF98F, 0xAD516118,                                      // 24 - 26
};
