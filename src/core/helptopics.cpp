#include "core/helptopics.h"

#include <QStringList>

namespace qh {

namespace {

// A topic is written as sections; a section is an optional heading on its own line followed by
// paragraphs, each paragraph on a new line indented by four spaces; an empty line separates
// sections.
struct Section {
    QString heading;
    QStringList paragraphs;
};

QString compose(const std::initializer_list<Section> &sections)
{
    QStringList out;
    for (const Section &s : sections) {
        QStringList lines;
        if (!s.heading.isEmpty())
            lines << s.heading;
        for (const QString &p : s.paragraphs)
            lines << QStringLiteral("    ") + p;
        out << lines.join(u'\n');
    }
    return out.join(QStringLiteral("\n\n"));
}

QString outpatientTopic()
{
    return compose({
        {QString(),
         {QStringLiteral("使用门诊处方管理前，您最好将日常处方用药在“系统维护－药品名称编码”中进行登录，这样在开处方时就可以用鼠标"
                         "从药品类别、药品名称和使用剂量中选录，既快捷又不会出错。"),
          QStringLiteral("进入到“门诊处方管理”，窗口上方有三个窗口标签：门诊病案、门诊诊断、病案诊断心得。门诊病案用于登录和查看患者的"
                         "病案资料，门诊诊断用于录入患者每次就诊的诊断内容和处方，病案诊断心得用于记录医生对该患者的治疗心得。门诊诊断"
                         "和病案诊断心得两个标签只能从门诊病案窗口中的按键或诊断记录进入。")}},
        {QStringLiteral("门诊病案："),
         {QStringLiteral("窗口左上方为门诊病案号码查询区，列出了系统中全部患者的病历号码。用鼠标点击某一病历号码，窗口右边即显示该患者"
                         "的病案资料，窗口下方列出该患者历次的诊断时间、诊断科室、诊断医师和病症情况。"),
          QStringLiteral("登录新患者时，在空白的登录窗口中依次输入病历编号、患者姓名、性别、年龄、婚姻、初诊时间、末诊时间、职业、"
                         "家庭住址、工作单位、电子信箱和电话，每项输入完毕按回车键进入下一项。病历编号、患者姓名、性别、年龄、婚姻、"
                         "初诊时间和家庭住址为必输项目，电子信箱可以不填，时间按“年-月-日”的格式输入。"),
          QStringLiteral("输入完毕后按“资料保存/修改”键保存。病历编号和患者姓名保存后不能再修改，其它内容可以修改后再按此键保存。"),
          QStringLiteral("按“门诊诊断”键为当前患者登录一次新的诊断；用鼠标点击窗口下方诊断记录中的某一行，可以查看或修改该次诊断的"
                         "内容。"),
          QStringLiteral("按“编辑诊断心得”键进入病案诊断心得窗口，输入或修改该患者的治疗心得，按“保存/修改诊断心得”键保存，按"
                         "“打印诊断心得”键将患者情况和心得送到文字处理程序中打印，按“返回首页”键回到门诊病案窗口。"),
          QStringLiteral("按“清空登录窗口”键清空窗口中的全部内容，准备登录新的患者。鼠标移到电子信箱上并点击，可以直接给患者发送"
                         "电子邮件。按“退出门诊诊断”键关闭本窗口。")}},
        {QStringLiteral("门诊诊断："),
         {QStringLiteral("注意：处方中的内容，既可手工录入也可用鼠标选录。用鼠标选录时，先在药品类别中选择一个类别，窗口中即列出该"
                         "类别的全部药品；用鼠标双击药品名称，再双击使用剂量，系统即将药品名称、剂量和计量单位加到处方中。"),
          QStringLiteral("新诊断的病历号码和诊断时间由系统自动填写，不能修改。请依次输入诊断科室、诊断医师、血压、脉搏、呼吸、病史"
                         "陈述、诊断治疗、处方和使用方法，每项输入完毕按回车键进入下一项。同一患者在同一科室同一天只能有一次诊断"
                         "记录，再次保存时修改原来的诊断内容。"),
          QStringLiteral("按“返回首页”键回到门诊病案窗口。"),
          QStringLiteral("在输入完毕诊断内容后，请按保存键对诊断内容进行保存，点击打印处方或打印病历键对诊断内容进行打印。"),
          QStringLiteral("如果患者就诊后，需要复诊，用鼠标点击“复诊”的复选框，并标明复诊时间。")}},
    });
}

QString queryTopic()
{
    return compose({
        {QStringLiteral("查询条件输入"),
         {QStringLiteral("窗口上方为查询条件输入区，要查询复诊内容，用鼠标点击窗口左上方“复诊”，然后输入查询的起止时间，系统将查出复诊"
                         "时间在此时间段内的全部诊断记录。还可以输入病历编号、诊断科室、诊断医师、病症情况、患者姓名、患者年龄段、"
                         "治疗方案、治疗处方、婚姻和性别作为查询条件，这些内容只需输入其中的部分文字即可，不输入的项目不作限制。"),
          QStringLiteral("输入完毕后按“查询”键，符合条件的记录显示在窗口下方的表格中，表格上方显示记录的条数。"),
          QStringLiteral("用鼠标点击表格中的某一记录，窗口转到“查询内容显示”标签，显示该次诊断的全部内容，在“基本情况”标签中可以"
                         "查看该患者的基本资料。按“打印”键可以选择打印患者基本情况、患者当前病历、门诊处方或病症治疗心得；按“返回"
                         "首页”键回到查询条件输入窗口。"),
          QStringLiteral("查询“病历”的操作与上述内容相同（似）。"),
          QStringLiteral("按“清屏”键清除已输入的查询条件，按“退出”键关闭本窗口。"),
          QStringLiteral("在输入查询条件时，查询内容可以任意选择，但查询时间和患者年龄为必输项目。")}},
    });
}

QString stockQueryTopic()
{
    return compose({
        {QString(),
         {QStringLiteral("此功能是查询系统药品购进入库、出库、药品入库出库明细、药品结余等数据，查询结果不在屏幕上显示，而是写入电子"
                         "表格文件，保存在“我的文档”文件夹中，可以用电子表格程序打开、查看和打印。"),
          QStringLiteral("查询时先用鼠标选择查询类别：药品入库、药品出库、库存明细表或药品结余，然后输入查询的起止时间。如果只查询某一"
                         "种药品，请在“药材编码”中输入该药品的编码并按回车键，系统自动显示药材名称；不输入编码则查询全部药品。"),
          QStringLiteral("输入完毕后按“查询”键，系统即生成电子表格文件；生成期间各按键暂停使用约5秒钟，请耐心等候。按“清屏”键恢复"
                         "查询条件的初始内容，按“退出”键关闭本窗口。"),
          QStringLiteral("当查询药品结余时，未结帐前结余数量反映的是药品实际结余数量，而结余金额中还包含已出库药品的金额，"
                         "要在药品结帐后才扣除出库药品的成本；药品结余反映的是当前的结余情况，与输入的查询时间无关。"),
          QStringLiteral("电子表格文件以查询的起止时间和查询类别命名，同一时间段再次查询时，原来的文件将被新的内容覆盖。切记！")}},
    });
}

QString followUpTopic()
{
    return compose({
        {QString(),
         {QStringLiteral("此功能列出需要复诊的患者：窗口上方显示今日、本周到期的复诊人数和逾期未复诊的人数。用鼠标点击“今日”、"
                         "“本周”或“逾期”，表格中即列出该组的复诊资料；要查看某一时间段的复诊，请输入起始时间和截止时间（按"
                         "“年-月-日”的格式），在截止时间中按回车键或按“查询”键。"),
          QStringLiteral("本周是指本日所在的一周，从星期一到星期日。逾期是指复诊时间已过（在本日以前），而该患者自复诊时间起"
                         "（含复诊当日）没有任何诊断记录；患者复诊后，其记录自动从逾期中去掉。"),
          QStringLiteral("表格按复诊时间排列，列出病历编号、患者姓名、性别、年龄、联系电话，以及预约复诊的那次诊断的科室、"
                         "医师、诊断时间和治疗方案的第一行。“状态”一栏中，“逾期”表示尚未复诊，“已复诊”表示患者已经来诊。"),
          QStringLiteral("在表格中选中一行按回车键，或用鼠标双击该行，系统即打开门诊处方管理窗口，显示该患者的病案资料和历次"
                         "诊断记录，可以直接为患者登录新的诊断。回到本窗口时，列表自动重新读取。"),
          QStringLiteral("按“打印”键将表格中的病历编号、患者姓名、联系电话和复诊时间打印出来（没有打印机时保存为PDF文件，存放在"
                         "“我的文档”中）；按“生成表格”键将表格内容写入电子表格文件，存放在“我的文档”中。按“退出”键关闭本窗口。")}},
    });
}

QString drugListTopic()
{
    return compose({
        {QStringLiteral("保存："),
         {QStringLiteral("此功能是登录新的编码、名称、计量单位、单价等内容。先选择或输入药品类别，再依次输入药材编码、药材名称、计量单位"
                         "和药材销价，每项输入完毕按回车键进入下一项，最后按“保存”键保存。药材编码和药材名称都不能与已有的药品重复，"
                         "药材销价必须大于零。")}},
        {QStringLiteral("修改编码："),
         {QStringLiteral("在药材名称中输入要修改编码的药品名称，在药材编码中输入新的编码，并输入其它各项内容，按“修改编码”键保存。新的"
                         "编码不能与其它药品的编码重复。")}},
        {QStringLiteral("修改名称："),
         {QStringLiteral("在药材编码中输入要修改名称的药品编码，在药材名称中输入新的名称，并输入其它各项内容，按“修改药名”键保存。新的"
                         "名称不能与其它药品的名称重复；药品改名后，原来的库存资料仍保留在原药品名称下。")}},
        {QStringLiteral("修改其它："),
         {QStringLiteral("在药材编码中输入药品编码，修改药品类别、计量单位或药材销价后，按“修改其它”键保存，药品的编码和名称不变。")}},
        {QStringLiteral("删除："),
         {QStringLiteral("在药材编码中输入要删除的药品编码，按“删除”键删除该药品。"),
          QStringLiteral("按“清屏”键清除输入的内容；按“打印”键将药品编码名称对照表写入电子表格文件，保存在“我的文档”文件夹中。")}},
        {QString(), {QStringLiteral("退出此窗口时，请按窗口右上角关闭键。")}},
    });
}

QString usersTopic()
{
    return QStringLiteral("保存：登录新的用户姓名及密码；\n"
                          "修改：修改系统中已有用户的密码，修改时必须输入正确旧密码后才能对新密码进行保存；\n"
                          "删除：删除系统中的用户和更改用户名称，使用此键，删除时同样要求输入旧密码。\n"
                          "\n"
                          "    切记，在删除或修改用户密码时，用户无法对其他用户密码和用户名称进行删除或修改。");
}

} // namespace

QString helpTopicText(const QString &code)
{
    if (code == QLatin1String("MZ"))
        return outpatientTopic();
    if (code == QLatin1String("F-D"))
        return queryTopic();
    if (code == QLatin1String("YCKC"))
        return stockQueryTopic();
    if (code == QLatin1String("FZSF"))
        return followUpTopic();
    if (code == QLatin1String("BM"))
        return drugListTopic();
    if (code == QLatin1String("MM"))
        return usersTopic();
    return {};
}

} // namespace qh
