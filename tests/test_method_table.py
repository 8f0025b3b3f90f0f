"""The module offers exactly the routines of the method table, each as a callable."""
import tavero

# Every Python name of the module: one per routine, plus hpgmog, the second name of hpgmod.
NAMES = """
    abs3pt addlab angle arcell areaf autres autres3d ax2grf ax3len axclrs axends axgit axis3d
    axsbgd axsers axslen axsorg axspos axsscl axstyp barbor barclr bargrp barmod baropt barpos
    bars bars3d bartyp barwth basalf basdat bezier bitsi2 bitsi4 bmpfnt bmpmod box2d box3d
    bufmod center cgmbgd cgmpic cgmver chaang chacod chaspc chawth chnatt chnbar chncrv chndot
    chndsh chnpie circ3p circle circsp clip3d closfl clpbor clpmod clpwin clrcyc clrmod clswin
    color colran colray complx conclr concrv cone3d confll congap conlab conmat conmod conn3d
    connpt conpts conshade conshd conshd2 conshd3d contour contri contur contur2 cross crvmat
    crvqdr crvt3d crvtri csrkey csrlin csrmod csrmov csrpol csrpos csrpt1 csrpts csrrec csrtyp
    csruni curv3d curv4d curve curve3 curvmp curvx3 curvy3 cyli3d dash dashl dashm dbffin
    dbfini dbfmod delglb digits disk3d doevnt dot dotl duplx dwgbut dwgerr dwgfil dwglis dwgmsg
    dwgtxt ellips endgrf erase errbar errdev errfil errmod eushft expimg expzlb fbars fcha
    field field3d filbox filclr filmod filopt filsiz filtyp filwin fitscls fitsflt fitshdu
    fitsimg fitsopn fitsstr fitstyp fitsval fixspc flab3d flen frame frmbar frmclr frmess
    gapcrv gapsiz gaxpar getalf getang getbpp getclp getclr getdig getdsp getfil getgrf gethgt
    gethnm getico getind getlab getlen getlev getlin getlit getmat getmfl getmix getor getpag
    getpat getpos getran getrco getres getrgb getscl getscm getscr getshf getsp1 getsp2 getsym
    gettcl gettic gettyp getuni getver getvk getvlt getwid getwin getxid gifmod gmxalf gothic
    grace graf graf3 graf3d grafmp grafp grafr grdpol grffin grfimg grfini grid grid3d gridim
    gridmp gridre gwgatt gwgbox gwgbut gwgfil gwgflt gwggui gwgint gwglis gwgscl gwgsiz gwgtbf
    gwgtbi gwgtbl gwgtbs gwgtxt gwgxid height helve helves helvet hidwin histog hname hpgmod
    hpgmog hsvrgb hsym3d hsymbl htitle hwfont hwmode hworig hwpage hwscal imgbox imgclp imgfin
    imgfmt imgini imgmod imgsiz imgtpr inccrv incdat incfil incmrk indrgb intax intcha intlen
    intrgb intutf isopts itmcat itmcnt itmncat itmstr jusbar labclr labdig labdis labels labjus
    labl3d labmod labpos labtyp ldimg legbgd legclr legend legini leglin legopt legpat legpos
    legsel legtbl legtit legtyp legval lfttit licmod licpts light linclr lincyc line linesp
    linfit linmod lintyp linwid litmod litop3 litopt litpos lncap lnjoin lnmlt logtic mapbas
    mapfil mapimg maplab maplev mapmod mapopt mappol mapref mapsph marker matop3 matopt mdfmat
    messag metafl mixalf mixleg mpaepl mplang mplclr mplpos mplsiz mrkclr msgbox mshclr mshcrv
    mylab myline mypat mysymb myvlt namdis name namjus nancrv neglog newmix newpag nlmess
    nlnumb noarln nobar nobgd nochek noclip nofill nograf nohide noline number numfmt numode
    nwkday nxlegn nxpixl nxposn nylegn nypixl nyposn nzposn openfl opnwin origin page pagera
    pagfll paghdr pagmod pagorg pagwin patcyc pdfbuf pdfmod pdfmrk penwid pie piebor piecbk
    pieclr pieexp piegrf pielab pieopt pierot pietyp pieval pievec pike3d plat3d plot plot3
    plyfin plyini pngmod point polar polclp polcrv polmod pos2pt pos3pt posbar posifl proj3d
    projct psfont psmeta psmode pt2pos pyra3d qplbar qplclr qplcon qplcrv qplot qplpie qplsca
    qplscl qplsur quad3d rbfpng rbmp readfl reawgt recfll rectan rel3pt resatt reset revscr
    rgbhsv rgif rgtlab rimage rlarc rlarea rlcirc rlconn rlell rline rlmess rlnumb rlpie rlpoin
    rlrec rlrnd rlsec rlstrt rlsymb rlvec rlwind rndrec rot3d rpixel rpixls rpng rppm rpxrow
    rtiff rvynam scale scattr sclfac sclmod scrmod sector selwin sendbf sendmb sendok serif
    setbas setcbk setclr setcsr setexp setfce setfil setgrf setind setmix setpag setres
    setres3d setrgb setscl setvar setvlt setxid shdafr shdasi shdaus shdcha shdcrv shdeur
    shdfac shdmap shdmod shdnor shdpat shdsou shdusa shield shlcir shldel shlell shlind shlpie
    shlpol shlrct shlrec shlres shlsur shlvis simplx skipfl smxalf solid sortr1 sortr2 spcbar
    sphe3d spline splmod stmmod stmopt stmpts stmpts3d stmtri stmval stream stream3d strt3d
    strtpt surclr surf3 surface surfce surfcp surfun suriso surmat surmsh suropt surshade
    surshc surshd sursze surtri survis swgatt swgbgd swgbox swgbut swgcb swgcb2 swgcb3 swgcbk
    swgclr swgdrw swgfgd swgfil swgflt swgfnt swgfoc swghlp swgint swgiop swgjus swglis swgmix
    swgmrg swgoff swgopt swgpop swgpos swgray swgscl swgsiz swgspc swgstp swgtbf swgtbi swgtbl
    swgtbs swgtit swgtxt swgtyp swgval swgwin swgwth symb3d symbol symfil symrot tavalf tavenv
    tavfin tavini tellfl texmod texopt texval thkc3d thkcrv thrfin thrini ticks ticlen ticmod
    ticpos tifmod tiforg tifwin timopt titjus title titlin titpos torus3d tprfin tprini tprmod
    tprval tr3axs tr3res tr3rot tr3scl tr3shf trfco1 trfco2 trfco3 trfdat trfmat trfrel trfres
    trfrot trfscl trfshf tria3d triang triflc trifll triplx tripts trmlen ttfont tube3d txtbgd
    txtjus txture unit units upstr utfint vang3d vclp3d vecclr vecf3d vecfld vecmat vecmat3d
    vecopt vector vectr3 vfoc3d view3d vkxbar vkybar vkytit vltfil vscl3d vtx3d vtxc3d vtxn3d
    vup3d wgapp wgappb wgbas wgbox wgbut wgcmd wgdlis wgdraw wgfil wgfin wgicon wgimg wgini
    wglab wglis wgltxt wgok wgpbar wgpbut wgpicon wgpimg wgpop wgpopb wgquit wgscl wgsep wgstxt
    wgtbl wgtxt widbar wimage winapp wincbk windbr window winfnt winico winid winjus winkey
    winmod winopt winsiz wintit wintyp winupd wmfmod world wpixel wpixls wpxrow writfl wtiff
    x11fnt x11mod x2dpos x3dabs x3dpos x3drel xaxgit xaxis xaxlg xaxmap xcross xdraw xinvrs
    xmove xposn y2dpos y3dabs y3dpos y3drel yaxgit yaxis yaxlg yaxmap ycross yinvrs ypolar
    yposn z3dpos zaxis zaxlg zbfers zbffin zbfini zbflin zbfmod zbfres zbfscl zbftri zscale
""".split()


def test_every_routine_is_a_callable_method():
    assert len(NAMES) == len(set(NAMES)) == 805
    missing = [n for n in NAMES if not callable(getattr(tavero, n, None))]
    assert missing == []


def test_no_public_name_beyond_the_table():
    public = {n for n in dir(tavero) if not n.startswith("_")}
    assert public - set(NAMES) == set()
    assert set(tavero._pending) <= set(NAMES)


def test_version():
    assert tavero.getver() == 11.5
